#include <gtest/gtest.h>

#include "fakes.h"
#include "core/settings/form_position.h"

namespace tobrisk {
namespace {

TEST(FormPosition, NothingStoredRestoresNothing) {
  testing::MemoryStore store;
  const RestoredPlacement r = RestoreFormPlacement(store, MainFormPosition());
  EXPECT_FALSE(r.left || r.top || r.width || r.height);
  EXPECT_EQ(r.state, WindowState::Normal);  // the default state 1
}

TEST(FormPosition, StateDecidesWhatIsStored) {
  testing::MemoryStore store;
  SaveFormPlacement(store, MainFormPosition(), {10, 20, 800, 600, WindowState::Normal});
  // Minimized main window: only the state, the old bounds stay.
  SaveFormPlacement(store, MainFormPosition(), {-32000, -32000, 160, 24, WindowState::Minimized});
  RestoredPlacement r = RestoreFormPlacement(store, MainFormPosition());
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.width, 800);
  EXPECT_EQ(r.state, WindowState::Minimized);
  // Maximized main window stores its maximized bounds.
  SaveFormPlacement(store, MainFormPosition(), {1, 2, 1920, 1080, WindowState::Maximized});
  r = RestoreFormPlacement(store, MainFormPosition());
  EXPECT_EQ(r.width, 1920);
  EXPECT_EQ(r.state, WindowState::Maximized);
  EXPECT_EQ(store.values.at({"FormPosition/TfrmMain", "State"}), "2");
  // The message window stores its bounds while minimized as well.
  SaveFormPlacement(store, LogMessageFormPosition(), {5, 6, 300, 200, WindowState::Minimized});
  EXPECT_EQ(RestoreFormPlacement(store, LogMessageFormPosition()).width, 300);
  // The board window does not, while maximized.
  SaveFormPlacement(store, BoardUserListFormPosition(), {5, 6, 300, 200, WindowState::Maximized});
  EXPECT_FALSE(RestoreFormPlacement(store, BoardUserListFormPosition()).width);
}

TEST(FormPosition, CoordinatesOfZeroOrLessAndOddStatesAreIgnored) {
  testing::MemoryStore store;
  store.Write("FormPosition/TfrmMain", "Left", "0");
  store.Write("FormPosition/TfrmMain", "Top", "-5");
  store.Write("FormPosition/TfrmMain", "Width", "0x100");
  store.Write("FormPosition/TfrmMain", "Height", "tall");
  store.Write("FormPosition/TfrmMain", "State", "7");
  const RestoredPlacement r = RestoreFormPlacement(store, MainFormPosition());
  EXPECT_FALSE(r.left);
  EXPECT_FALSE(r.top);
  EXPECT_EQ(r.width, 256);
  EXPECT_FALSE(r.height);
  EXPECT_FALSE(r.state);
}

TEST(FormPosition, ToolbarStateRoundTripsAndKeepsDefaults) {
  testing::MemoryStore store;
  ToolbarState current;
  current.dock_row = 3;
  EXPECT_EQ(LoadToolbarState(store, "FileToolBar", current).docked_to, "");
  EXPECT_TRUE(LoadToolbarState(store, "FileToolBar", current).visible);
  ToolbarState floating{false, "nil", 0, 0, 100, 200, 300, 240, 7};
  SaveToolbarState(store, "MessageToolBar", floating);
  const ToolbarState back = LoadToolbarState(store, "MessageToolBar", current);
  EXPECT_FALSE(back.visible);
  EXPECT_EQ(back.docked_to, "nil");
  EXPECT_EQ(back.float_bottom, 240);
  EXPECT_EQ(back.float_right_x, 7);
  EXPECT_EQ(store.values.at({"Settings ToolBars/MessageToolBar", "Visible"}), "0");
}

}  // namespace
}  // namespace tobrisk
