// The icons of the entry list: each entry's own icon read from its file (small and large),
// and our fixed artwork for entries without one.
#pragma once

#include <QIcon>

#include "inventory/UCollection.h"
#include "platform/Platform.h"

namespace pgl {

class EntryIcons {
 public:
  // A computer with a software box beside it: an entry without an icon of its own.
  static const QIcon& DefaultIcon();
  // A yellow warning triangle with a red exclamation mark: an invalid entry without one.
  static const QIcon& InvalidIcon();

  // The row's icon in both sizes (16 and 32 pixels), as the list shows it.
  static QIcon ForEntry(const Platform& platform, const TUninstallInfo& info);
};

}  // namespace pgl
