#include "port/portsettings.h"

PortArguments convertSelection(const SelectionTexts&) { return {}; }
QString settingsString(const PortArguments&) { return {}; }

namespace StatusText {
QString open(const SelectionTexts&) { return {}; }
QString applied(const SelectionTexts&) { return {}; }
QString closed() { return {}; }
QString shortClosed() { return {}; }
} // namespace StatusText
