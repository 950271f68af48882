#pragma once

#include "discovery/DynamicArray.h"

#include <QString>

class TObject;

// One entry of a string-object array: a text, and a pointer and an object
// that the entry carries but does not own.
class TStringObject {
public:
    const QString &Text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }
    void *Data() const { return m_data; }
    void setData(void *data) { m_data = data; }
    TObject *Object() const { return m_object; }
    void setObject(TObject *object) { m_object = object; }

private:
    QString m_text;
    void *m_data = nullptr;
    TObject *m_object = nullptr;
};

// A dynamic array whose items are entries it owns: each slot gets a new,
// empty entry when it appears and loses it when it goes. Item arguments
// of Add, Insert and Extract are ignored: the array makes its own entries.
class TStringObjectArray : public TDynamicArray {
public:
    explicit TStringObjectArray(int initialCount = 0);
    ~TStringObjectArray() override;

    void SetCount(int count) override;
    int AddEmpty() override;
    int Add(const void *item) override;
    void InsertEmpty(int index) override;
    void Insert(int index, const void *item) override;
    void Delete(int index) override;
    void Extract(int index, void *item) override;

    TStringObject *Entry(int index) const;
    QString Text(int index) const { return Entry(index)->Text(); }
    void setText(int index, const QString &text) { Entry(index)->setText(text); }
    TObject *Object(int index) const { return Entry(index)->Object(); }
    void setObject(int index, TObject *object) { Entry(index)->setObject(object); }
    void *GetData(int index) const { return Entry(index)->Data(); }
    TStringObject *SetData(int index, void *data);

protected:
    const char *ClassName() const override { return "TStringObjectArray"; }

private:
    void createEntry(int index);
    void freeEntry(int index);
};
