#include "discovery/DynamicArray.h"

#include <algorithm>
#include <cstring>

TDynamicArray::TDynamicArray(int initialCount, int itemBytes) : m_itemBytes(std::max(1, itemBytes))
{
    SetCount(initialCount);
}

TDynamicArray::~TDynamicArray() = default;

void TDynamicArray::SetCount(int count)
{
    if (count <= 0) {
        m_items.clear();
        m_items.shrink_to_fit();
        return;
    }
    if (count == Count())
        return;
    m_items.resize(std::size_t(count) * std::size_t(m_itemBytes));
    Changed();
}

int TDynamicArray::AddEmpty()
{
    const int index = Count();
    TDynamicArray::InsertEmpty(index);
    return index;
}

int TDynamicArray::Add(const void *item)
{
    const int index = TDynamicArray::AddEmpty();
    PutItem(index, item);
    return index;
}

void TDynamicArray::InsertEmpty(int index)
{
    if (index < 0 || index > Count())
        IndexError(index);
    m_items.insert(m_items.begin() + std::ptrdiff_t(index) * m_itemBytes, std::size_t(m_itemBytes), std::byte{0});
    Changed();
}

void TDynamicArray::Insert(int index, const void *item)
{
    TDynamicArray::InsertEmpty(index);
    PutItem(index, item);
}

void TDynamicArray::Delete(int index)
{
    if (!valid(index))
        IndexError(index);
    const auto first = m_items.begin() + std::ptrdiff_t(index) * m_itemBytes;
    m_items.erase(first, first + m_itemBytes);
    Changed();
}

void TDynamicArray::Extract(int index, void *item)
{
    GetItem(index, item);
    TDynamicArray::Delete(index);
}

void TDynamicArray::Grow(int by) { SetCount(Count() + by); }
void TDynamicArray::Shrink(int by) { SetCount(Count() - by); }

void TDynamicArray::Exchange(int a, int b)
{
    if (!valid(a))
        IndexError(a);
    if (!valid(b))
        IndexError(b);
    if (a != b)
        std::swap_ranges(at(a), at(a) + m_itemBytes, at(b));
}

int TDynamicArray::ForEach(const std::function<int(int, void *)> &callback)
{
    const int count = Count();
    for (int i = 0; i < count; ++i)
        if (const int result = callback(i, ItemPtr(i)))
            return result;
    return 0;
}

void TDynamicArray::GetItem(int index, void *item) const
{
    if (!valid(index))
        IndexError(index);
    std::memcpy(item, at(index), std::size_t(m_itemBytes));
}

void TDynamicArray::PutItem(int index, const void *item)
{
    if (!valid(index))
        IndexError(index);
    std::memcpy(at(index), item, std::size_t(m_itemBytes));
}

void *TDynamicArray::ItemPtr(int index) { return valid(index) ? at(index) : nullptr; }

void TDynamicArray::IndexError(int index) const
{
    throw EDynArray(
        QStringLiteral("Array %1 item index is out of bounds (%2)").arg(QLatin1String(ClassName())).arg(index));
}
