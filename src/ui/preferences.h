// What the program remembers from one start to the next: the look. Kept in
// the user's configuration, $XDG_CONFIG_HOME/brindlet/brindlet.conf.
#pragma once

#include "game/procedures.h"

namespace brindlet::ui {

// The look last chosen; the colours where none was.
Look RememberedLook();
// Remembers `look`; a file that cannot be written is reported in one line,
// once, and the game plays on.
void RememberLook(Look look);

}  // namespace brindlet::ui
