#pragma once

#include <QIcon>

namespace pontvex {

// Pictures of the ten tool bar buttons, drawn here so the program carries no
// image files of anybody else's.
enum class ToolPicture { Open, Save, Fill, Select, Program, System, Id, PageUp, PageDown, Info };

QIcon toolIcon(ToolPicture picture);

} // namespace pontvex
