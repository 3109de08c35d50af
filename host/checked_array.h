// Fixed-size arrays whose element access is range-checked: a bad index
// throws std::out_of_range("array<>: index out of range").
#pragma once

#include <boost/array.hpp>
#include <cstddef>

template <typename T, std::size_t N>
struct checked_array : boost::array<T, N> {
    T& operator[](std::size_t i) { return this->at(i); }
    const T& operator[](std::size_t i) const { return this->at(i); }
};
