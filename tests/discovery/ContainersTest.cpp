#include "discovery/DynamicArray.h"
#include "discovery/StringObjectList.h"

#include <gtest/gtest.h>

namespace {

// An int array that counts its change notices.
class Ints : public TDynamicArray {
public:
    explicit Ints(int count = 0) : TDynamicArray(count, int(sizeof(int))) {}
    int changes = 0;
    void Changed() override { ++changes; }
    int at(int i) const
    {
        int v = -1;
        GetItem(i, &v);
        return v;
    }
    void fill(std::initializer_list<int> values)
    {
        for (int v : values)
            Add(&v);
        changes = 0;
    }
    std::vector<int> all() const
    {
        std::vector<int> out;
        for (int i = 0; i < Count(); ++i)
            out.push_back(at(i));
        return out;
    }
};

// Runs F and returns the index error's text, or "" when it raised none.
template <typename F>
QString indexError(F f)
{
    try {
        f();
    } catch (const EDynArray &e) {
        return e.message();
    }
    return {};
}

class Tracked : public TObject {
public:
    explicit Tracked(int &alive) : m_alive(alive) { ++m_alive; }
    ~Tracked() override { --m_alive; }

private:
    int &m_alive;
};

} // namespace

TEST(DynamicArrayTest, BadIndexesRaiseNamingTheIndexAndChangeNothing)
{
    struct Case {
        const char *what;
        std::function<void(Ints &)> call;
        int index;
    };
    int scratch = 0;
    const Case cases[] = {
        {"InsertEmpty past the end", [](Ints &a) { a.InsertEmpty(4); }, 4},
        {"InsertEmpty before the start", [](Ints &a) { a.InsertEmpty(-1); }, -1},
        {"Delete at Count", [](Ints &a) { a.Delete(3); }, 3},
        {"GetItem", [&](Ints &a) { a.GetItem(7, &scratch); }, 7},
        {"PutItem", [&](Ints &a) { a.PutItem(-2, &scratch); }, -2},
        {"Extract", [&](Ints &a) { a.Extract(3, &scratch); }, 3},
        {"Exchange, first bad", [](Ints &a) { a.Exchange(5, 9); }, 5},
        {"Exchange, second bad", [](Ints &a) { a.Exchange(0, 3); }, 3},
    };
    for (const Case &c : cases) {
        Ints a;
        a.fill({10, 20, 30});
        EXPECT_EQ(indexError([&] { c.call(a); }),
                  QStringLiteral("Array TDynamicArray item index is out of bounds (%1)").arg(c.index))
            << c.what;
        EXPECT_EQ(a.all(), (std::vector<int>{10, 20, 30})) << c.what;
        EXPECT_EQ(a.changes, 0) << c.what;
    }
}

TEST(DynamicArrayTest, ChangesMoveItemsAndNewOnesAreZero)
{
    Ints a;
    a.fill({10, 20, 30});
    a.InsertEmpty(3); // Count appends
    a.InsertEmpty(1);
    int out = 0;
    a.Extract(2, &out);
    EXPECT_EQ(out, 20);
    a.Exchange(0, 2);
    a.Exchange(1, 1);
    EXPECT_EQ(a.all(), (std::vector<int>{30, 0, 10, 0}));
    EXPECT_EQ(a.changes, 3);
    a.Grow(1);
    a.Shrink(2);
    EXPECT_EQ(a.all(), (std::vector<int>{30, 0, 10}));

    // SetCount reports real resizes only; zero or less empties quietly.
    struct Case {
        int to, count, changes;
    };
    for (const Case c : {Case{3, 3, 0}, Case{5, 5, 1}, Case{0, 0, 0}, Case{-5, 0, 0}}) {
        Ints b;
        b.fill({7, 8, 9});
        b.SetCount(c.to);
        EXPECT_EQ(b.Count(), c.count) << c.to;
        EXPECT_EQ(b.changes, c.changes) << c.to;
    }
    Ints one;
    one.fill({1});
    one.Delete(0);
    one.InsertEmpty(0);
    EXPECT_EQ(one.all(), std::vector<int>{0});
}

TEST(DynamicArrayTest, ItemPtrAndForEachStayInBounds)
{
    Ints a;
    EXPECT_EQ(a.ItemPtr(0), nullptr);
    EXPECT_EQ(a.ForEach([](int, void *) { return 1; }), 0);
    a.fill({1, 2, 3, 4});
    EXPECT_EQ(a.ItemPtr(a.Count()), nullptr);
    std::vector<int> seen;
    EXPECT_EQ(a.ForEach([&](int i, void *item) {
        seen.push_back(*static_cast<int *>(item));
        return i == 2 ? 7 : 0;
    }),
              7);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
}

TEST(StringObjectListTest, EntriesStartEmptyAndIndexErrorsNameTheArray)
{
    TStringObjectList list;
    int dummy = 0;
    list.Add(QStringLiteral("a"));
    list.Insert(0, QStringLiteral("b"));
    list.Entries().Grow(1);
    ASSERT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.Get(2), QString());
    EXPECT_EQ(list.GetObject(2), nullptr);
    EXPECT_EQ(list.GetData(2), nullptr);
    list.SetData(1, &dummy);
    EXPECT_EQ(list.Entries().Entry(1)->Data(), &dummy);

    const QString tail = QStringLiteral("Array TStringObjectArray item index is out of bounds (3)");
    EXPECT_EQ(indexError([&] { list.Get(3); }), tail);
    EXPECT_EQ(indexError([&] { list.Delete(3); }), tail);
    EXPECT_EQ(indexError([&] { list.Insert(4, QStringLiteral("x")); }),
              QStringLiteral("Array TStringObjectArray item index is out of bounds (4)"));
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.Get(0), QStringLiteral("b"));
}

TEST(StringObjectListTest, ObjectsOutliveTheirEntries)
{
    int alive = 0;
    Tracked one(alive), two(alive), three(alive);
    TStringObjectList list;
    list.AddObject(QStringLiteral("one"), &one);
    list.AddObject(QStringLiteral("two"), &two);
    list.AddObject(QStringLiteral("Two"), &three); // duplicates are kept
    list.Exchange(0, 2);
    EXPECT_EQ(list.Get(0), QStringLiteral("Two"));
    EXPECT_EQ(list.GetObject(0), &three);
    EXPECT_EQ(list.IndexOf(QStringLiteral("TWO")), 0);
    EXPECT_EQ(list.IndexOf(QStringLiteral("four")), -1);
    list.Delete(1);
    list.Clear();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(alive, 3);
}
