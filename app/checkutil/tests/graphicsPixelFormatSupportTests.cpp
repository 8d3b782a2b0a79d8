// SPDX-License-Identifier: Apache-2.0
#include "graphicsPixelFormatSupport.h"

#include <Kr/Ex.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A format whose availability the test chooses, and which records that it was asked.
class ChosenPixelFormat : public Kr::WsPixelFormatBase {
public:
    ChosenPixelFormat(bool available, int id, std::vector<int>& asked)
        : _available(available), _id(id), _asked(asked) {}
    bool isAvailable() const override {
        _asked.push_back(_id);
        return _available;
    }

private:
    bool _available;
    int _id;
    std::vector<int>& _asked;
};

class GraphicsPixelFormatSupport : public ::testing::Test {
protected:
    void add(int id, bool available) {
        _registry.add(id, Kr::RCShdPtr<const Kr::WsPixelFormatBase>(new ChosenPixelFormat(available, id, _asked)));
    }

    Kr::WsPixelFormatRegistry _registry;
    std::vector<int> _asked;
};

TEST_F(GraphicsPixelFormatSupport, StencilFormatWinsAndFormat8IsNotAsked) {
    add(8, true);
    add(9, true);
    EXPECT_STREQ(describeDepthBufferSupport(_registry), "Supported (including stencil support)");
    EXPECT_EQ(_asked, std::vector<int>{9});
}

TEST_F(GraphicsPixelFormatSupport, Format8AloneIsSupported) {
    add(8, true);
    add(9, false);
    EXPECT_STREQ(describeDepthBufferSupport(_registry), "Supported");
    EXPECT_EQ(_asked, (std::vector<int>{9, 8}));
}

TEST_F(GraphicsPixelFormatSupport, NeitherFormatIsUnsupported) {
    add(8, false);
    add(9, false);
    EXPECT_STREQ(describeDepthBufferSupport(_registry), "Unsupported");
}

TEST_F(GraphicsPixelFormatSupport, UnknownFormatRaisesTheNullPointerException) {
    for (const int missing : {8, 9}) {
        Kr::WsPixelFormatRegistry registry;
        std::vector<int> asked;
        const int other = missing == 8 ? 9 : 8;
        // Format 9 unavailable, so that format 8 is asked for too.
        registry.add(other, Kr::RCShdPtr<const Kr::WsPixelFormatBase>(new ChosenPixelFormat(false, other, asked)));
        try {
            describeDepthBufferSupport(registry);
            FAIL() << "no exception without format " << missing;
        } catch (const Kr::ExNullPtr& ex) {
            EXPECT_EQ(ex.getTypeName(), "WsPixelFormatBase");
        }
    }
}

} // namespace
