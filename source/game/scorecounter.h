// ScoreCounter: marks the entity "ScoreCounter" whose SpriteText receives the result line
// at the end of a match. No fields and no behaviour of its own.
#pragma once

#include "component.h"

class ScoreCounter : public ComponentOf<kScoreCounter> {
public:
    explicit ScoreCounter(Entity* owner) : ComponentOf(owner) {}
    std::unique_ptr<Component> Clone(Entity* newOwner) const override;
    void Serialize(std::vector<Property>&) override {}
};
