#include "discovery/StringObjectArray.h"

#include <memory>
#include <vector>

TStringObjectArray::TStringObjectArray(int initialCount) : TDynamicArray(0, int(sizeof(TStringObject *)))
{
    SetCount(initialCount);
}

TStringObjectArray::~TStringObjectArray()
{
    ForEach([](int, void *item) {
        auto **slot = static_cast<TStringObject **>(item);
        delete *slot;
        *slot = nullptr;
        return 0;
    });
}

void TStringObjectArray::SetCount(int count)
{
    const int old = Count();
    if (count > old) {
        // Make the entries first: a failure then leaves the array as it was.
        std::vector<std::unique_ptr<TStringObject>> made;
        for (int i = old; i < count; ++i)
            made.push_back(std::make_unique<TStringObject>());
        TDynamicArray::SetCount(count);
        for (int i = old; i < count; ++i) {
            TStringObject *entry = made[std::size_t(i - old)].release();
            PutItem(i, &entry);
        }
    } else if (count < old) {
        for (int i = old - 1; i >= std::max(count, 0); --i)
            freeEntry(i);
        TDynamicArray::SetCount(count);
    }
}

int TStringObjectArray::AddEmpty()
{
    const int index = TDynamicArray::AddEmpty();
    createEntry(index);
    return index;
}

int TStringObjectArray::Add(const void *) { return AddEmpty(); }

void TStringObjectArray::InsertEmpty(int index)
{
    TDynamicArray::InsertEmpty(index);
    createEntry(index);
}

void TStringObjectArray::Insert(int index, const void *) { InsertEmpty(index); }

void TStringObjectArray::Delete(int index)
{
    freeEntry(index); // raises for a bad index before anything is destroyed
    TDynamicArray::Delete(index);
}

void TStringObjectArray::Extract(int index, void *) { Delete(index); }

TStringObject *TStringObjectArray::Entry(int index) const
{
    TStringObject *entry = nullptr;
    GetItem(index, &entry);
    return entry;
}

TStringObject *TStringObjectArray::SetData(int index, void *data)
{
    TStringObject *entry = Entry(index);
    entry->setData(data);
    return entry;
}

void TStringObjectArray::createEntry(int index)
{
    try {
        auto *entry = new TStringObject;
        PutItem(index, &entry);
    } catch (...) {
        TDynamicArray::Delete(index); // no slot stays without an entry
        throw;
    }
}

void TStringObjectArray::freeEntry(int index)
{
    TStringObject *entry = Entry(index);
    TStringObject *none = nullptr;
    PutItem(index, &none);
    delete entry;
}
