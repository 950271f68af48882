#pragma once

#include "discovery/StringObjectArray.h"
#include "discovery/Strings.h"

#include <memory>

// A string list kept in a string-object array: index i of the list is entry
// i of the array. It accepts duplicates, keeps no order of its own and
// reports no changes. It owns its entries, not their objects or data.
class TStringObjectList : public TStrings {
public:
    TStringObjectList();
    ~TStringObjectList() override;

    QString Get(int index) const override;
    void Put(int index, const QString &text) override;
    TObject *GetObject(int index) const override;
    void PutObject(int index, TObject *object) override;
    int GetCount() const override;
    int Add(const QString &text) override;
    void Insert(int index, const QString &text) override;
    void Delete(int index) override;
    void Exchange(int a, int b) override;
    void Clear() override;

    void *GetData(int index) const;
    void SetData(int index, void *data);
    TStringObjectArray &Entries() const { return *m_entries; }

private:
    std::unique_ptr<TStringObjectArray> m_entries;
};
