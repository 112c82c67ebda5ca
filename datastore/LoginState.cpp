#include "LoginState.h"

namespace kovra {
LoginState &Login()
{
    static LoginState state;
    return state;
}
} // namespace kovra
