#include "TApplicationMode.h"

#include "LoginState.h"
#include "MainModeTable.h"
#include "TdmdMain.h"
#include "TfrmMain.h"

namespace kovra {

void TApplicationMode::SetMode(int mode)
{
    Mode = std::uint8_t(mode);
    const ModeRule &rule = ModeRuleFor(mode);
    m_main.applyModeRule(rule);
    if (rule.logEvent >= 0)
        m_main.dm().WriteLogEvent(rule.logEvent);
}

} // namespace kovra
