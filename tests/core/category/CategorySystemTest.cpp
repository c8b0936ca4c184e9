#include "category/CategorySystem.h"
#include "base/Exceptions.h"

#include <gtest/gtest.h>
#include <memory>

namespace bram {
namespace {

TEST(NormalizeNameTest, RewritesIntoScriptIdentifiers)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Start Game!", "Start_Game"}, {"Größe Wert", "Groesse_Wert"}, {"ÄÖÜäöüß", "AeOeUeaeoeuess"}, {"!!!", ""},
        {"3rd_try", "3rd_try"},        {"café €5", "caf_5"},           {"tab\there", "tabhere"},      {"", ""},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(NormalizedName(in), out) << in;
        EXPECT_EQ(NormalizedName(out), out) << "normalizing twice changes nothing: " << out;
    }
}

TEST(CategorySystemTest, TriggerNamesAreNormalizedAndUniqueAcrossCategories)
{
    CCategorySystem system;
    CCategory* events = system.AddCategory("Events");
    CCategory* other = system.AddCategory("Other");
    CTriggerEntry* start = events->AddTrigger("Start Game!", 7);
    EXPECT_EQ(start->GetName(), "Start_Game");
    EXPECT_THROW(other->AddTrigger("Start Game", 8), CNotSupportedException);
    EXPECT_THROW(events->AddTrigger("!!!", 9), CNotSupportedException);
    EXPECT_EQ(other->GetTriggerCount(), 0u) << "a refused entry is not created";
    EXPECT_TRUE(system.HasTrigger("Start Game?"));
    EXPECT_FALSE(system.HasTrigger("start_game"));

    // Case-sensitive: both spellings may live together.
    EXPECT_NO_THROW(other->AddTrigger("items", 10));
    EXPECT_NO_THROW(other->AddTrigger("Items", 11));
    EXPECT_NO_THROW(system.AddCategory("items"));
    EXPECT_NO_THROW(system.AddCategory("Items"));
    EXPECT_THROW(system.AddCategory("Items"), CNotSupportedException);
    EXPECT_EQ(system.GetCategoryCount(), 4u);
}

// The names are looked up in a set of all entry names, kept up to date
// through every way an entry or a category comes and goes; what moves stays
// the same object.
TEST(CategorySystemTest, TakenNamesFollowEveryChangeAndMovedEntriesStayThemselves)
{
    CCategorySystem system;
    CCategory* a = system.AddCategory("A");
    CTriggerEntry* first = a->AddTrigger("First", 1);
    EXPECT_TRUE(system.HasTrigger("First"));
    first->SetName("Renamed");
    EXPECT_FALSE(system.HasTrigger("First"));
    CTriggerEntry* second = a->AddTrigger("First", 2);
    EXPECT_THROW(a->AddTrigger("Renamed", 3), CNotSupportedException);

    // A category outside the system holds names the system does not know, until it joins.
    auto detached = std::make_unique<CCategory>("B", &system);
    detached->AddTrigger("Outside", 4);
    EXPECT_FALSE(system.HasTrigger("Outside"));
    CCategory* b = system.AddCategory(std::move(detached));
    EXPECT_TRUE(system.HasTrigger("Outside"));
    std::unique_ptr<CCategory> removed = system.RemoveCategory(b, false);
    EXPECT_EQ(removed.get(), b);
    EXPECT_FALSE(system.HasTrigger("Outside"));
    removed->AddTrigger("Later", 5);
    system.InsertCategory(std::move(removed), 0);
    EXPECT_TRUE(system.HasTrigger("Later"));

    std::unique_ptr<CTriggerEntry> moved = a->RemoveTrigger(second, false);
    EXPECT_FALSE(system.HasTrigger("First"));
    EXPECT_EQ(b->InsertTrigger(std::move(moved), 0), second);
    EXPECT_TRUE(system.HasTrigger("First"));
    EXPECT_EQ(b->IndexOf(second), 0);
    EXPECT_EQ(system.FindCategoryOfTrigger(2), b);
    EXPECT_EQ(b->RemoveTrigger(second, true), nullptr);
    EXPECT_EQ(b->RemoveTrigger(second, true), nullptr) << "removing what is not there does nothing";
    EXPECT_EQ(system.GetTriggerName(2), "");
    EXPECT_FALSE(system.HasTrigger("First"));
    // Renamed while out of every category (as an undo step keeps it): not counted.
    std::unique_ptr<CTriggerEntry> out = a->RemoveTrigger(first, false);
    out->SetName("Elsewhere");
    EXPECT_FALSE(system.HasTrigger("Elsewhere") || system.HasTrigger("Renamed"));
    a->AddTrigger(std::move(out));
    EXPECT_TRUE(system.HasTrigger("Elsewhere"));
    system.Clear();
    EXPECT_FALSE(system.HasTrigger("Later"));
    EXPECT_EQ(system.GetCategoryCount(), 0u);
}

TEST(CategorySystemTest, RenamingRefusesTakenNamesIncludingItsOwn)
{
    CCategorySystem system;
    CCategory* a = system.AddCategory("A");
    system.AddCategory("B");
    EXPECT_THROW(a->SetName("A"), CNotSupportedException);
    EXPECT_THROW(a->SetName("B"), CNotSupportedException);
    EXPECT_EQ(a->GetName(), "A");
    a->SetName("C");
    EXPECT_EQ(a->GetName(), "C");

    CTriggerEntry* t = a->AddTrigger("Tick", 1);
    a->AddTrigger("Tock", 2);
    EXPECT_THROW(t->SetName("Tick!"), CNotSupportedException) << "normalizes to its own name";
    EXPECT_THROW(t->SetName("Tock"), CNotSupportedException);
    EXPECT_THROW(t->SetName("?"), CNotSupportedException);
    EXPECT_EQ(t->GetName(), "Tick");
    t->SetName("Tick Tack");
    EXPECT_EQ(system.GetTriggerName(1), "Tick_Tack");
}

TEST(CategorySystemTest, LookupsByIdAndIndexAndNoSystem)
{
    CCategorySystem system;
    CCategory* a = system.AddCategory("A");
    CCategory* b = system.AddCategory("B");
    a->AddTrigger("first", 5);
    b->AddTrigger("second", 5); // ids are not checked; the first in display order wins
    EXPECT_EQ(system.GetTriggerName(5), "first");
    EXPECT_EQ(system.GetTriggerName(99), "");
    EXPECT_EQ(system.FindCategoryOfTrigger(5), a);
    bool found = true;
    EXPECT_EQ(b->FindTriggerName(99, found), "");
    EXPECT_FALSE(found);
    EXPECT_THROW(system.GetCategory(2), CNotSupportedException);
    EXPECT_THROW(a->GetTrigger(1), CNotSupportedException);
    EXPECT_THROW(CCategory("x", nullptr), CInvalidArgException);
    EXPECT_THROW(CTriggerEntry("x", 1, nullptr), CInvalidArgException);
}

// The indexes follow each entry that comes and goes while they are in use:
// an entry of a known id put in front takes over its name, one taken away
// hands it back, and a name two entries bear stays taken until both are gone.
TEST(CategorySystemTest, IndexesFollowEntriesWhileInUse)
{
    CCategorySystem system;
    CCategory* a = system.AddCategory("A");
    a->AddTrigger("later", 7);
    EXPECT_EQ(system.GetTriggerName(7), "later");
    CTriggerEntry* front = a->InsertTrigger(std::make_unique<CTriggerEntry>("front", 7, &system), 0);
    CTriggerEntry* other = a->AddTrigger("other", 8);
    EXPECT_EQ(system.GetTriggerName(7), "front");
    EXPECT_EQ(system.GetTriggerName(8), "other");
    a->DestroyTrigger(front);
    EXPECT_EQ(system.GetTriggerName(7), "later");
    a->DestroyTrigger(other); // no other entry bears its id now
    EXPECT_EQ(system.GetTriggerName(8), "");
    EXPECT_EQ(system.GetTriggerName(7), "later");

    std::unique_ptr<CCategory> out = system.RemoveCategory(a, false);
    EXPECT_EQ(system.GetTriggerName(7), "");
    CCategory* b = system.AddCategory("B");
    CTriggerEntry* twin = b->AddTrigger("later", 9);
    system.AddCategory(std::move(out));
    EXPECT_EQ(system.GetTriggerName(7), "later");
    b->DestroyTrigger(twin);
    EXPECT_TRUE(system.HasTrigger("later"));
    EXPECT_THROW(b->AddTrigger("later", 10), CNotSupportedException);
}

} // namespace
} // namespace bram
