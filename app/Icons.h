#pragma once
// The program's pictures, drawn as SVG and built into the executable.
#include <QIcon>
#include <QString>

namespace quorvin::gui {

// name: the picture's file name without ".svg" ("quorvin", "folder", "stop", ...).
QIcon Icon(const QString& name);

} // namespace quorvin::gui
