#include "foundation/main_window_state.hpp"

#include "foundation/parameter_table.hpp"

namespace skh {

MainWindowState::MainWindowState() : MAIN_WINDOW_X(skh::MAIN_WINDOW_X), MAIN_WINDOW_Y(skh::MAIN_WINDOW_Y) {
    g_displayReady = true;
}

MainWindowState g_mainWindowState;

}  // namespace skh
