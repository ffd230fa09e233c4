#include "base/string_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exception.h"

namespace base {
namespace {

using Lines = std::vector<std::string>;

Lines Items(const TStringList& list) {
    Lines items;
    for (int i = 0; i < list.Count(); ++i) {
        items.push_back(list[i]);
    }
    return items;
}

TStringList ListOf(const Lines& strings, bool sorted = false) {
    TStringList list;
    list.SetSorted(sorted);
    for (const std::string& s : strings) {
        list.Add(s);
    }
    return list;
}

template <typename F>
void ExpectListError(F&& f, const std::string& message) {
    try {
        f();
        ADD_FAILURE() << "no EListError, expected: " << message;
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), message);
    }
}

TEST(StringListTest, EditingKeepsObjectsWithTheirStrings) {
    int one = 1, two = 2;
    TStringList list;
    EXPECT_EQ(list.AddObject("b", &one), 0);
    EXPECT_EQ(list.Add("d"), 1);
    list.Insert(0, "a");
    list.InsertObject(3, "e", &two);  // at the end
    list.Put(1, "B");
    list.Exchange(0, 3);
    EXPECT_EQ(Items(list), (Lines{"e", "B", "d", "a"}));
    EXPECT_EQ(list.Objects(0), &two);
    EXPECT_EQ(list.Objects(1), &one) << "Put keeps the object";
    list.Delete(0);
    list.PutObject(2, &two);
    EXPECT_EQ(Items(list), (Lines{"B", "d", "a"}));
    EXPECT_EQ(list.Objects(2), &two);
    list.SetSorted(true);
    EXPECT_EQ(Items(list), (Lines{"a", "B", "d"}));
    EXPECT_EQ(list.Objects(0), &two);
    EXPECT_EQ(list.Objects(1), &one);
}

TEST(StringListTest, IndexOutOfBounds) {
    TStringList list = ListOf({"a", "b"});
    ExpectListError([&] { list.Get(2); }, "List index out of bounds (2)");
    ExpectListError([&] { list.Get(-1); }, "List index out of bounds (-1)");
    ExpectListError([&] { list.Insert(3, "x"); }, "List index out of bounds (3)");
    ExpectListError([&] { list.Exchange(0, 7); }, "List index out of bounds (7)");
    ExpectListError([&] { list.Delete(2); }, "List index out of bounds (2)");
    ExpectListError([&] { list.PutObject(-3, nullptr); }, "List index out of bounds (-3)");
    EXPECT_EQ(Items(list), (Lines{"a", "b"}));
}

TEST(StringListTest, CaseSensitivity) {
    TStringList list = ListOf({"Alpha", "beta", "alpha"});
    EXPECT_EQ(list.IndexOf("ALPHA"), 0);
    EXPECT_EQ(list.IndexOf("alph"), -1);
    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOf("alpha"), 2);
    EXPECT_EQ(list.IndexOf("ALPHA"), -1);

    // The second byte of a GBK character may be an ASCII letter; folding it
    // would make different characters equal. After the character, letters
    // fold again.
    TStringList gbk = ListOf({"\x81\x41", "x\xB0\x61z"});
    EXPECT_EQ(gbk.IndexOf("\x81\x61"), -1);
    EXPECT_EQ(gbk.IndexOf("x\xB0\x41z"), -1);
    EXPECT_EQ(gbk.IndexOf("X\xB0\x61Z"), 1);
}

TEST(StringListTest, Text) {
    EXPECT_EQ(ListOf({}).Text(), "");
    EXPECT_EQ(ListOf({"a", "", "b"}).Text(), "a\r\n\r\nb\r\n");
    const std::pair<const char*, Lines> cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"\r\n", {""}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\rc\r\nd", {"a", "b", "c", "d"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\n\r", {"a", ""}},
    };
    for (const auto& [text, lines] : cases) {
        TStringList list = ListOf({"old"});
        list.SetText(text);
        EXPECT_EQ(Items(list), lines) << testing::PrintToString(text);
    }
}

TEST(StringListTest, NameValueEntries) {
    TStringList list = ListOf({"Host=example", "plain", "Path=a=b", "=empty", "Port="});
    EXPECT_EQ(list.Names(0), "Host");
    EXPECT_EQ(list.ValueFromIndex(2), "a=b");
    EXPECT_EQ(list.Names(1), "");
    EXPECT_EQ(list.ValueFromIndex(1), "");
    EXPECT_EQ(list.Values("path"), "a=b");
    EXPECT_EQ(list.IndexOfName("PORT"), 4);
    EXPECT_EQ(list.IndexOfName("plain"), -1);
    EXPECT_EQ(list.IndexOfName(""), 3);
    EXPECT_EQ(list.Values("missing"), "");

    list.SetValue("HOST", "other");
    list.SetValue("New", "1");
    list.SetValue("path", "");
    list.SetValue("absent", "");
    EXPECT_EQ(Items(list), (Lines{"HOST=other", "plain", "=empty", "Port=", "New=1"}));
}

TEST(StringListTest, SortedList) {
    TStringList list = ListOf({"delta", "Alpha", "charlie", "bravo", "_under", "Zulu"}, true);
    // Letters compare as upper case, so '_' (0x5F) sorts after them.
    EXPECT_EQ(Items(list), (Lines{"Alpha", "bravo", "charlie", "delta", "Zulu", "_under"}));
    EXPECT_EQ(list.Add("Echo"), 4);
    int index = -1;
    EXPECT_TRUE(list.Find("CHARLIE", index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(list.Find("carol", index));
    EXPECT_EQ(index, 2) << "where it would go";
    EXPECT_FALSE(list.Find("zz", index));
    EXPECT_EQ(index, 6);

    ExpectListError([&] { list.Insert(0, "x"); }, "Operation not allowed on sorted list");
    ExpectListError([&] { list.Put(0, "x"); }, "Operation not allowed on sorted list");
    ExpectListError([&] { list.Exchange(0, 1); }, "Operation not allowed on sorted list");

    list.SetCaseSensitive(true);
    EXPECT_EQ(Items(list), (Lines{"Alpha", "Echo", "Zulu", "_under", "bravo", "charlie", "delta"}));
    EXPECT_FALSE(list.Find("echo", index));

    // Sort on an unsorted list is stable; Find there is a linear search.
    TStringList unsorted = ListOf({"b2", "A", "a", "B2", "c"});
    EXPECT_TRUE(unsorted.Find("C", index));
    EXPECT_EQ(index, 4);
    unsorted.Sort();
    EXPECT_EQ(Items(unsorted), (Lines{"A", "a", "b2", "B2", "c"}));
    EXPECT_TRUE(unsorted.Find("B2", index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(unsorted.Find("d", index));
    EXPECT_EQ(index, 5);
}

TEST(StringListTest, DuplicatesPolicy) {
    TStringList list = ListOf({"b", "a"}, true);
    EXPECT_EQ(list.Add("B"), 1) << "ignored: the index of the one there";
    EXPECT_EQ(Items(list), (Lines{"a", "b"}));

    list.SetDuplicates(DuplicatesPolicy::Error);
    ExpectListError([&] { list.Add("A"); }, "String list does not allow duplicates");
    ExpectListError([&] { list.SetText("x\ny\nX"); }, "String list does not allow duplicates");
    ExpectListError(
        [&] {
            list.AddStrings(ListOf({"d", "B"}));
        },
        "String list does not allow duplicates");
    EXPECT_EQ(Items(list), (Lines{"a", "b"})) << "a failed change leaves the list as it was";

    int tag = 0;
    list.SetDuplicates(DuplicatesPolicy::Accept);
    list.AddObject("B", &tag);
    EXPECT_EQ(list.Add("b"), 3) << "after the equal ones";
    EXPECT_EQ(Items(list), (Lines{"a", "b", "B", "b"}));
    EXPECT_EQ(list.Objects(2), &tag);
    int index = -1;
    EXPECT_TRUE(list.Find("B", index));
    EXPECT_EQ(index, 1);

    TStringList unsorted = ListOf({"x"});
    unsorted.SetDuplicates(DuplicatesPolicy::Error);
    EXPECT_EQ(unsorted.Add("x"), 1) << "the policy is for sorted lists";
}

TEST(StringListTest, SetValueOnSortedListResorts) {
    int tag = 0;
    TStringList list = ListOf({"k=3", "k=5", "j=0", "l=0"}, true);
    list.AddObject("k=1", &tag);
    // The first entry with the name is replaced and moves with its object.
    list.SetValue("K", "9");
    EXPECT_EQ(Items(list), (Lines{"j=0", "k=3", "k=5", "K=9", "l=0"}));
    EXPECT_EQ(list.Objects(3), &tag);
    list.SetValue("k", "");
    EXPECT_EQ(Items(list), (Lines{"j=0", "k=5", "K=9", "l=0"}));
}

TEST(StringListTest, AssignCopiesContentAndSettings) {
    int tag = 0;
    TStringList source;
    source.SetCaseSensitive(true);
    source.SetSorted(true);
    source.SetDuplicates(DuplicatesPolicy::Accept);
    source.AddObject("b", &tag);
    source.Add("a");

    TStringList target = ListOf({"old"});
    int changes = 0;
    target.OnChange = [&](TStringList&) { ++changes; };
    target.Assign(source);
    EXPECT_EQ(Items(target), (Lines{"a", "b"}));
    EXPECT_EQ(target.Objects(1), &tag);
    EXPECT_TRUE(target.Sorted() && target.CaseSensitive());
    EXPECT_EQ(target.Duplicates(), DuplicatesPolicy::Accept);

    target = ListOf({"x"});  // assignment keeps the handlers and notifies
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(TStringList(target).OnChange) << "a copy has no handlers";
    target.AddStrings(target);
    EXPECT_EQ(Items(target), (Lines{"x", "x"}));
}

TEST(StringListTest, ChangeNotifications) {
    TStringList list;
    Lines events;
    list.OnChanging = [&](TStringList& l) { events.push_back("changing " + l.Text()); };
    list.OnChange = [&](TStringList& l) { events.push_back("change " + l.Text()); };
    list.Add("a");
    EXPECT_EQ(events, (Lines{"changing ", "change a\r\n"}));

    events.clear();
    list.Add("b");
    list.Put(1, "B");
    list.PutObject(0, &events);
    list.Exchange(0, 1);
    list.Delete(0);
    list.Clear();
    list.Clear();  // nothing to clear
    list.SetSorted(true);
    list.Add("x");
    list.Add("x");  // an ignored duplicate changes nothing
    EXPECT_EQ(events.size(), 14u);

    // During an update no handler runs; the outermost EndUpdate reports once.
    int changing = 0, change = 0;
    list.OnChanging = [&](TStringList&) { ++changing; };
    list.OnChange = [&](TStringList& l) { change += l.UpdateCount() == 0 ? 1 : 100; };
    list.BeginUpdate();
    list.BeginUpdate();
    list.Add("y");
    list.EndUpdate();
    list.Add("z");
    EXPECT_EQ(change, 0);
    list.EndUpdate();
    EXPECT_EQ(changing, 0);
    EXPECT_EQ(change, 1);
    list.BeginUpdate();
    list.IndexOf("y");
    list.EndUpdate();
    EXPECT_EQ(change, 1) << "nothing changed";
    ExpectListError([&] { list.EndUpdate(); }, "EndUpdate without BeginUpdate");
}

}  // namespace
}  // namespace base
