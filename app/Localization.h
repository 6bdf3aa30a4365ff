#pragma once

// The program speaks Russian: Russian dates and Qt's own Russian texts for the
// standard buttons and dialogs. False when Qt's translations are not installed.
bool installRussian();
