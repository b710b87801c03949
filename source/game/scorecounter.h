// ScoreCounter: marks the entity "ScoreCounter" whose SpriteText receives the result line
// at the end of a match. No fields and no behaviour of its own.
#pragma once

#include "component.h"

namespace volleyrun {

class ScoreCounter : public ComponentOf<ScoreCounter, kScoreCounter> {
public:
    explicit ScoreCounter(Entity* owner) : ComponentOf(owner) {}
    void Serialize(std::vector<Property>&) override {}
};

} // namespace volleyrun
