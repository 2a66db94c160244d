// numpy arrays over memory the core filled: the vector (or string) moves into
// a capsule that the array keeps as its base, so nothing is copied and the
// memory lives as long as the last array (or view) over it, whatever becomes
// of the coder or the result that made it.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <memory>
#include <utility>
#include <vector>

namespace zorvel::python {

namespace py = pybind11;

// A capsule that owns `value` and deletes it with the last reference.
template <class T>
py::capsule owningCapsule(std::unique_ptr<T> value) {
    py::capsule capsule(value.get(), [](void* owned) { delete static_cast<T*>(owned); });
    value.release();  // the capsule owns it from here
    return capsule;
}

// An array of `shape` over `values`, which it takes over.
template <class T>
py::array_t<T> ownedArray(std::vector<T>&& values, std::vector<py::ssize_t> shape) {
    auto owned = std::make_unique<std::vector<T>>(std::move(values));
    const T* data = owned->data();
    py::capsule base = owningCapsule(std::move(owned));
    return py::array_t<T>(std::move(shape), data, base);
}

template <class T>
py::array_t<T> ownedArray(std::vector<T>&& values) {
    const auto size = static_cast<py::ssize_t>(values.size());
    return ownedArray(std::move(values), {size});
}

}  // namespace zorvel::python
