#include "discovery/Strings.h"

int TStrings::Add(const QString &text)
{
    const int index = GetCount();
    Insert(index, text);
    return index;
}

void TStrings::Exchange(int a, int b)
{
    const QString text = Get(a);
    TObject *object = GetObject(a);
    Put(a, Get(b));
    PutObject(a, GetObject(b));
    Put(b, text);
    PutObject(b, object);
}

int TStrings::AddObject(const QString &text, TObject *object)
{
    const int index = Add(text);
    PutObject(index, object);
    return index;
}

int TStrings::IndexOf(const QString &text) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (Get(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
