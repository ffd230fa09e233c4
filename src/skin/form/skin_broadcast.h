#pragma once

namespace skin {

// Makes skin data announce skin changes to the application's forms: the
// owner form first (when the skin data's owner is a form), then every other
// form in the application's order, each synchronously through its
// window-procedure slot (so a component that took over a form's messages
// sees them first), with wParam the skin data and lParam 1000. Forms need no
// window for it: the announcement while a form is read from its definition
// reaches it too. Installing twice changes nothing.
void InstallSkinBroadcast();

}  // namespace skin
