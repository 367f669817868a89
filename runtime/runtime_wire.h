// RuntimeWire: CoreData defaults and the module table's bindings.
#pragma once

namespace tessark {

// Zeroes CoreData, sets its defaults and binds every built module; true.
bool RuntimeWire();

}  // namespace tessark
