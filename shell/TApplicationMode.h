#pragma once
// Applies an application mode to the main window: which pages, menus, buttons
// and outlook groups it offers, the user-list filter, the status panes and the
// mode's audit event.
#include <cstdint>

namespace kovra {

class TfrmMain;

class TApplicationMode {
public:
    explicit TApplicationMode(TfrmMain &main) : m_main(main) {}

    std::uint8_t UserType = 0;
    std::uint8_t Mode = 0;

    // Stores the mode and applies it. Callers set UserType first.
    void SetMode(int mode);

private:
    TfrmMain &m_main;
};

} // namespace kovra
