// The program's icon, drawn in code in its small and large sizes.
#pragma once

#include <QIcon>

namespace quorvel {

QIcon programIcon();

}  // namespace quorvel
