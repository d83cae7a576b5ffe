#include "app/Icons.h"

// Resources of a static library are not registered by themselves: the first use does it.
static void InitQuorvinResources() {
    Q_INIT_RESOURCE(quorvin);
}

namespace quorvin::gui {

QIcon Icon(const QString& name) {
    static const bool registered = (InitQuorvinResources(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}

} // namespace quorvin::gui
