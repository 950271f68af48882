#include "discovery/StringObjectList.h"

TStringObjectList::TStringObjectList() : m_entries(std::make_unique<TStringObjectArray>()) {}
TStringObjectList::~TStringObjectList() = default;

QString TStringObjectList::Get(int index) const { return m_entries->Text(index); }
void TStringObjectList::Put(int index, const QString &text) { m_entries->setText(index, text); }
TObject *TStringObjectList::GetObject(int index) const { return m_entries->Object(index); }
void TStringObjectList::PutObject(int index, TObject *object) { m_entries->setObject(index, object); }
int TStringObjectList::GetCount() const { return m_entries->Count(); }

int TStringObjectList::Add(const QString &text)
{
    const int index = m_entries->AddEmpty();
    m_entries->setText(index, text);
    return index;
}

void TStringObjectList::Insert(int index, const QString &text)
{
    m_entries->InsertEmpty(index);
    m_entries->setText(index, text);
}

void TStringObjectList::Delete(int index) { m_entries->Delete(index); }
void TStringObjectList::Exchange(int a, int b) { m_entries->Exchange(a, b); }
void TStringObjectList::Clear() { m_entries->SetCount(0); }
void *TStringObjectList::GetData(int index) const { return m_entries->GetData(index); }
void TStringObjectList::SetData(int index, void *data) { m_entries->SetData(index, data); }
