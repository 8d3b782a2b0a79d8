// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/PiNode.h>
#include <Kr/RC.h>

#include <vector>

namespace Kr {

// The nodes the user has selected.
class KR_EXPORT SnSelection : public RCBase<LkCounter<int>> {
public:
    SnSelection();
    ~SnSelection() override;

    void add(const RCShdPtr<PiNode>& node);
    void remove(const RCShdPtr<PiNode>& node);
    void clear() { _nodes.clear(); }
    bool contains(const RCShdPtr<PiNode>& node) const;
    const std::vector<RCShdPtr<PiNode>>& getNodes() const { return _nodes; }

private:
    std::vector<RCShdPtr<PiNode>> _nodes;
};

} // namespace Kr
