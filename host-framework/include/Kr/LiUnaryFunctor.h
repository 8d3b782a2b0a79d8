// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace Kr {

// A one-argument operation passed by reference to framework algorithms (for example the
// tokenizer's token filter). It may keep state between calls, so it is called through a
// non-constant reference.
template <typename Argument, typename Result> class UnaryFunctor {
public:
    virtual ~UnaryFunctor() = default;
    virtual Result operator()(const Argument& argument) = 0;
};

} // namespace Kr
