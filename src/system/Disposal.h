#pragma once

#include <memory>

// Lets go of a value on a pooled thread. After a save the main thread would
// otherwise free a folder's worth of file objects (tag trees, atom trees)
// before the window could show the result. The value must be unreachable
// from anywhere else but other owners' shared pointers.
class Disposal {
public:
    static void later(std::shared_ptr<void> garbage);
};
