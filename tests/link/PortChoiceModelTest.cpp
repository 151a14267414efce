#include "link/PortChoiceModel.h"

#include <gtest/gtest.h>

#include "support/RecordingNotices.h"

namespace meridial {
namespace {

struct FakeStore final : PortNumberStore {
    int PortNumber() const override { return number; }
    Status SetPortNumber(int port) override {
        stored = number = port;
        return unwritable ? Status::Fail("Unable to write to /ro/m.INI") : Done();
    }
    int number = 1, stored = -1;  // -1: nothing written
    bool unwritable = false;
};

enum class Press { Ok, OkUnwritable, Cancel };
using Row = std::tuple<const char*, int, std::vector<int>, Press, std::optional<int>, int, bool>;
class PortChoice : public ::testing::TestWithParam<Row> {};

TEST_P(PortChoice, ShowsAndStoresThePick) {
    const auto& [name, remembered, picks, press, shown, stored, closes] = GetParam();
    FakeStore store;
    store.number = remembered;
    store.unwritable = press == Press::OkUnwritable;
    testing::RecordingNotices notices;
    PortChoiceModel model(store, notices);
    for (int pick : picks) model.Select(pick);
    EXPECT_EQ(press == Press::Cancel ? (model.Cancel(), true) : model.Ok(), closes);
    EXPECT_EQ(model.Selection(), shown);  // kept for the next showing
    EXPECT_EQ(store.stored, stored);
    // icon 1: Error, button 0: OK
    const std::string refused = "1|Unable to write to /ro/m.INI||0";
    EXPECT_EQ(notices.shown, closes ? std::vector<std::string>{} : std::vector{refused});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PortChoice,
    ::testing::Values(
        Row{"DefaultIsCom1", 1, {}, Press::Ok, 0, 1, true},
        Row{"FourthItemStoresFour", 1, {3}, Press::Ok, 3, 4, true},
        Row{"RememberedOutsideRangeSelectsNothingStoresZero", 9, {}, Press::Ok, {}, 0, true},
        Row{"RememberedZeroSelectsNothing", 0, {}, Press::Ok, {}, 0, true},
        Row{"PickOutsideTheListClearsIt", 2, {7, 8}, Press::Ok, {}, 0, true},
        Row{"CancelWritesNothingButKeepsThePick", 4, {6}, Press::Cancel, 6, -1, true},
        Row{"UnwritableStaysOpenSaysWhereTakesThePort", 1, {2}, Press::OkUnwritable, 2, 3, false}),
    [](const auto& info) { return std::string(std::get<0>(info.param)); });

TEST(PortChoiceHints, NameEachItemsDeviceAndWhetherItIsThere) {
    FakeStore store;
    testing::RecordingNotices notices;
    const auto hints = PortChoiceModel(store, notices).DeviceHints([](int port) {
        return PortDevice{"/dev/ttyS" + std::to_string(port - 1), port == 2};
    });
    EXPECT_EQ(hints.at(1) + hints.at(7), "/dev/ttyS1 (present)/dev/ttyS7 (missing)");
}

}  // namespace
}  // namespace meridial
