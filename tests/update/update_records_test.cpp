#include "update/update_records.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace hub {
namespace {

// An asset in the library's form whose strings live in the object itself.
class LibraryAssetFixture {
public:
    explicit LibraryAssetFixture(std::string version) {
        texts_ = {"OrvantisHub", std::move(version), "Full",      "OrvantisHub-full.nupkg",
                  "sha-one",     "sha-two-five-six", "**notes**", "<b>notes</b>"};
        asset = {texts_[0].data(), texts_[1].data(), texts_[2].data(),
                 texts_[3].data(), texts_[4].data(), texts_[5].data(),
                 123456789012ull,  texts_[6].data(), texts_[7].data()};
    }
    velopack::Asset asset{};

private:
    std::array<std::string, 8> texts_;
};

ReleaseAsset expectedAsset(const std::string& version) {
    return {"OrvantisHub",   version,
            "Full",          "OrvantisHub-full.nupkg",
            "sha-one",       "sha-two-five-six",
            123456789012ull, "**notes**",
            "<b>notes</b>"};
}

TEST(UpdateRecordsTest, CopiesEveryPartOfTheLibraryRecord) {
    LibraryAssetFixture target("2.0.0");
    LibraryAssetFixture base("1.9.0");
    LibraryAssetFixture delta("2.0.0-delta");
    velopack::Asset* deltas[] = {&delta.asset, &delta.asset};
    const velopack::UpdateInfo info{&target.asset, &base.asset, deltas, 2, true};

    const UpdateRecord record = copyUpdateRecord(info);

    EXPECT_EQ(record.targetFullRelease, expectedAsset("2.0.0"));
    EXPECT_EQ(record.baseRelease, expectedAsset("1.9.0"));
    EXPECT_EQ(record.deltasToTarget,
              (std::vector{expectedAsset("2.0.0-delta"), expectedAsset("2.0.0-delta")}));
    EXPECT_TRUE(record.isDowngrade);
}

TEST(UpdateRecordsTest, OptionalPartsMayBeAbsent) {
    LibraryAssetFixture target("2.0.0");
    const UpdateRecord record = copyUpdateRecord({&target.asset, nullptr, nullptr, 0, false});
    EXPECT_EQ(record.targetFullRelease, expectedAsset("2.0.0"));
    EXPECT_FALSE(record.baseRelease);
    EXPECT_TRUE(record.deltasToTarget.empty());
    EXPECT_FALSE(record.isDowngrade);
}

TEST(UpdateRecordsTest, EveryMissingTextIsNamed) {
    const std::pair<char * velopack::Asset::*, const char*> fields[] = {
        {&velopack::Asset::PackageId, "PackageId"},
        {&velopack::Asset::Version, "Version"},
        {&velopack::Asset::Type, "Type"},
        {&velopack::Asset::FileName, "FileName"},
        {&velopack::Asset::SHA1, "SHA1"},
        {&velopack::Asset::SHA256, "SHA256"},
        {&velopack::Asset::NotesMarkdown, "NotesMarkdown"},
        {&velopack::Asset::NotesHtml, "NotesHtml"}};
    for (const auto& [field, name] : fields) {
        for (const bool inBase : {false, true}) {
            LibraryAssetFixture target("2.0.0");
            LibraryAssetFixture base("1.0.0");
            (inBase ? base : target).asset.*field = nullptr;
            try {
                copyUpdateRecord({&target.asset, &base.asset, nullptr, 0, false});
                ADD_FAILURE() << name << " missing was accepted";
            } catch (const std::runtime_error& error) {
                EXPECT_STREQ(error.what(),
                             (std::string("Required property ") + name + " was null").c_str());
            }
        }
    }
}

TEST(UpdateRecordsTest, MissingPartsAreNamed) {
    LibraryAssetFixture target("2.0.0");
    velopack::Asset* holes[] = {&target.asset, nullptr};
    const std::pair<velopack::UpdateInfo, const char*> cases[] = {
        {{nullptr, nullptr, nullptr, 0, false}, "Required property TargetFullRelease was null"},
        {{&target.asset, nullptr, nullptr, 1, false}, "Required property DeltasToTarget was null"},
        {{&target.asset, nullptr, holes, 2, false}, "Required property DeltasToTarget was null"},
    };
    for (const auto& [info, message] : cases) {
        try {
            copyUpdateRecord(info);
            ADD_FAILURE() << message << ": accepted";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), message);
        }
    }
}

// What goes back to the library points at the record's own text and is never null, not even
// for empty fields.
TEST(UpdateRecordsTest, LibraryViewPointsIntoTheRecord) {
    UpdateRecord record;
    record.targetFullRelease = expectedAsset("2.0.0");
    record.targetFullRelease.notesHtml.clear();
    record.baseRelease = expectedAsset("1.0.0");
    record.deltasToTarget = {expectedAsset("d1"), expectedAsset("d2")};
    record.isDowngrade = true;

    LibraryUpdateInfo view(record);
    const velopack::UpdateInfo& info = *view.get();

    ASSERT_NE(info.TargetFullRelease, nullptr);
    EXPECT_EQ(copyUpdateRecord(info), record);
    EXPECT_EQ(info.TargetFullRelease->Version, record.targetFullRelease.version.c_str());
    EXPECT_STREQ(info.TargetFullRelease->NotesHtml, "");
    EXPECT_EQ(info.TargetFullRelease->Size, 123456789012ull);
    EXPECT_EQ(info.DeltasToTargetCount, 2u);
}

TEST(UpdateRecordsTest, LibraryViewOfARecordWithoutOptionalParts) {
    UpdateRecord record;
    record.targetFullRelease.version = "2.0.0";
    LibraryUpdateInfo view(record);
    EXPECT_EQ(view.get()->BaseRelease, nullptr);
    EXPECT_EQ(view.get()->DeltasToTarget, nullptr);
    EXPECT_EQ(view.get()->DeltasToTargetCount, 0u);
    const velopack::Asset asset = libraryAsset(record.targetFullRelease);
    for (const char* text : {asset.PackageId, asset.Type, asset.FileName, asset.SHA1, asset.SHA256,
                             asset.NotesMarkdown, asset.NotesHtml}) {
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, "");
    }
    EXPECT_STREQ(asset.Version, "2.0.0");
}

} // namespace
} // namespace hub
