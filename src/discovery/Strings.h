#pragma once

#include <QString>

// Base of whatever a string list can carry beside its texts; lists of lists
// check what they hold by its class.
class TObject {
public:
    virtual ~TObject() = default;
};

// An abstract list of texts, each with an object beside it. A concrete list
// supplies the storage operations; the operations built on them (AddObject,
// IndexOf, update bracketing) live here once.
class TStrings : public TObject {
public:
    virtual QString Get(int index) const = 0;
    virtual void Put(int index, const QString &text) = 0;
    virtual TObject *GetObject(int index) const = 0;
    virtual void PutObject(int index, TObject *object) = 0;
    virtual int GetCount() const = 0;
    // Appends a text; returns its index.
    virtual int Add(const QString &text);
    virtual void Insert(int index, const QString &text) = 0;
    virtual void Delete(int index) = 0;
    virtual void Exchange(int a, int b);
    virtual void Clear() = 0;

    int AddObject(const QString &text, TObject *object);
    // The first index whose text equals TEXT ignoring case; -1 if none.
    int IndexOf(const QString &text) const;
    // Brackets a batch of changes for lists that report changes; a list
    // that reports none ignores them.
    void BeginUpdate() { ++m_updateCount; }
    void EndUpdate() { --m_updateCount; }
    int UpdateCount() const { return m_updateCount; }

private:
    int m_updateCount = 0;
};
