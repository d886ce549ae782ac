// Counted references to platform objects.
//
// A variable that holds a platform object holds one reference; assigning
// nullptr to it ("assigning nothing") releases that reference, and the object
// goes away with its last one. Objects that must be observable when they go
// (the recording test platform) log from their destructors.
#pragma once

#include <memory>

template <class T>
using Ref = std::shared_ptr<T>;
