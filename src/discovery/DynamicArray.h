#pragma once

#include "base/Exception.h"

#include <cstddef>
#include <functional>
#include <vector>

// An index outside an array's bounds.
class EDynArray : public Exception {
public:
    using Exception::Exception;
};

// A dynamic array of fixed-size items that it copies by value as raw bytes
// and never interprets. New items are all zero bytes. Every access with an
// index is checked and raises EDynArray naming the array's class; a failed
// call leaves the array as it was.
class TDynamicArray {
public:
    TDynamicArray(int initialCount, int itemBytes);
    virtual ~TDynamicArray();
    TDynamicArray(const TDynamicArray &) = delete;
    TDynamicArray &operator=(const TDynamicArray &) = delete;

    int ItemBytes() const { return m_itemBytes; }
    int Count() const { return int(m_items.size() / std::size_t(m_itemBytes)); }

    // Called after every change that goes through a block of a new size.
    virtual void Changed() {}
    // Zero or less empties the array (without Changed); the current count
    // does nothing.
    virtual void SetCount(int count);
    virtual int AddEmpty();
    virtual int Add(const void *item);
    // INDEX may be Count: the item is appended.
    virtual void InsertEmpty(int index);
    virtual void Insert(int index, const void *item);
    virtual void Delete(int index);
    virtual void Extract(int index, void *item);
    virtual void Grow(int by);
    virtual void Shrink(int by);
    virtual void Exchange(int a, int b);
    // Calls CALLBACK for each item in order, as many times as there were
    // items at the start; the first result that is not 0 ends the walk and
    // is returned.
    virtual int ForEach(const std::function<int(int index, void *item)> &callback);

    void GetItem(int index, void *item) const;
    void PutItem(int index, const void *item);
    // The item's address, or null outside the bounds; never raises.
    void *ItemPtr(int index);
    [[noreturn]] void IndexError(int index) const;

protected:
    // The class named in the index error.
    virtual const char *ClassName() const { return "TDynamicArray"; }

private:
    bool valid(int index) const { return index >= 0 && index < Count(); }
    std::byte *at(int index) { return m_items.data() + std::size_t(index) * std::size_t(m_itemBytes); }
    const std::byte *at(int index) const { return m_items.data() + std::size_t(index) * std::size_t(m_itemBytes); }

    int m_itemBytes;
    std::vector<std::byte> m_items;
};
