// Recovery settings: defaults by access mode, the dialog's opening selection, validated apply,
// and the command-line values.
#include "recovery/recovery_settings.h"

#include <gtest/gtest.h>

namespace recovery {
namespace {

TEST(RecoverySettingsDefaults, DependOnTheAccessModeAndReturnOnEveryStart)
{
    disk::DiskState n;
    RecoverySettings s{DuplicatePolicy::Skip, DeletedPolicy::Exclude};
    n.readChunkSectors = 17;
    n.readRetryCount = 9;
    SetDefaultSettings(n, s);
    EXPECT_EQ(n.readChunkSectors, 60u);
    EXPECT_EQ(n.readRetryCount, 3);
    EXPECT_EQ(s.duplicatePolicy, DuplicatePolicy::Rename);
    EXPECT_EQ(s.deletedPolicy, DeletedPolicy::Include);

    disk::DiskState f;
    f.accessMode = 'F';
    SetDefaultSettings(f, s);
    EXPECT_EQ(f.readChunkSectors, 8u);
    EXPECT_EQ(f.readRetryCount, 3);

    // The dialog then opens on "60" / "8" and "3".
    EXPECT_EQ(SectorsEntry(ChoiceFromSettings(n, s).sectorsIndex), "60");
    EXPECT_EQ(SectorsEntry(ChoiceFromSettings(f, s).sectorsIndex), "8");
    EXPECT_EQ(RetriesEntry(ChoiceFromSettings(f, s).retriesIndex), "3");
}

TEST(RecoverySettingsDialog, ListsHoldOneToHundredAndOneToTen)
{
    EXPECT_EQ(SectorsEntry(0), "1");
    EXPECT_EQ(SectorsEntry(kSectorsEntryCount - 1), "100");
    EXPECT_EQ(RetriesEntry(kRetriesEntryCount - 1), "10");
}

TEST(RecoverySettingsDialog, OpeningSelectsTheCurrentValues)
{
    disk::DiskState d;
    d.readChunkSectors = 100;
    d.readRetryCount = 1;
    const RecoverySettings s{DuplicatePolicy::Overwrite, DeletedPolicy::OnlyDeleted};
    const SettingsChoice c = ChoiceFromSettings(d, s);
    EXPECT_EQ(c.sectorsIndex, 99u);
    EXPECT_EQ(c.retriesIndex, 0u);
    EXPECT_EQ(c.duplicate, DuplicatePolicy::Overwrite);
    EXPECT_EQ(c.deleted, DeletedPolicy::OnlyDeleted);

    // Values no control could have set select the nearest entry instead of a wrong one.
    d.readChunkSectors = 0;
    d.readRetryCount = 4000;
    EXPECT_EQ(ChoiceFromSettings(d, s).sectorsIndex, 0u);
    EXPECT_EQ(ChoiceFromSettings(d, s).retriesIndex, 9u);
}

TEST(RecoverySettingsDialog, OkSetsEveryValueFromTheControls)
{
    disk::DiskState d;
    RecoverySettings s;
    SettingsChoice c{99, 9, DuplicatePolicy::Skip, DeletedPolicy::Exclude};
    ASSERT_EQ(ApplyChoice(c, d, s), ApplyOutcome::Applied);
    EXPECT_EQ(d.readChunkSectors, 100u);
    EXPECT_EQ(d.readRetryCount, 10);
    EXPECT_EQ(s.duplicatePolicy, DuplicatePolicy::Skip);
    EXPECT_EQ(s.deletedPolicy, DeletedPolicy::Exclude);

    c = {0, 0, std::nullopt, std::nullopt};  // a group with no chosen button keeps its value
    ASSERT_EQ(ApplyChoice(c, d, s), ApplyOutcome::Applied);
    EXPECT_EQ(d.readChunkSectors, 1u);
    EXPECT_EQ(d.readRetryCount, 1);
    EXPECT_EQ(s.duplicatePolicy, DuplicatePolicy::Skip);
    EXPECT_EQ(s.deletedPolicy, DeletedPolicy::Exclude);
}

TEST(RecoverySettingsDialog, OutOfRangeChoiceChangesNothing)
{
    const SettingsChoice bad[] = {
        {100, 0, DuplicatePolicy::Skip, std::nullopt},
        {0, 10, DuplicatePolicy::Skip, std::nullopt},
        {0, 0, static_cast<DuplicatePolicy>(0), std::nullopt},
        {0, 0, DuplicatePolicy::Skip, static_cast<DeletedPolicy>(4)},
    };
    const ApplyOutcome expected[] = {ApplyOutcome::SectorsOutOfRange, ApplyOutcome::RetriesOutOfRange,
                                     ApplyOutcome::PolicyOutOfRange, ApplyOutcome::PolicyOutOfRange};
    for (std::size_t i = 0; i < std::size(bad); ++i) {
        disk::DiskState d;
        RecoverySettings s;
        EXPECT_EQ(ApplyChoice(bad[i], d, s), expected[i]) << i;
        EXPECT_EQ(d.readChunkSectors, 60u) << i;
        EXPECT_EQ(d.readRetryCount, 3) << i;
        EXPECT_EQ(s.duplicatePolicy, DuplicatePolicy::Rename) << i;
        EXPECT_EQ(s.deletedPolicy, DeletedPolicy::Include) << i;
    }
}

TEST(RecoverySettingsOptions, AcceptOnlyPlainNumbersInRange)
{
    EXPECT_EQ(ParseReadChunkSectors("1"), 1u);
    EXPECT_EQ(ParseReadChunkSectors("100"), 100u);
    EXPECT_EQ(ParseReadRetryCount("10"), 10);
    for (const char* bad : {"0", "101", "", "-1", "+5", " 5", "5x", "99999999999999999999999"}) {
        EXPECT_FALSE(ParseReadChunkSectors(bad)) << bad;
    }
    for (const char* bad : {"0", "11", "65537", "3.0"}) {
        EXPECT_FALSE(ParseReadRetryCount(bad)) << bad;
    }
}

}  // namespace
}  // namespace recovery
