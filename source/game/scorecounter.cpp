#include "scorecounter.h"

std::unique_ptr<Component> ScoreCounter::Clone(Entity* newOwner) const
{
    return std::make_unique<ScoreCounter>(newOwner);
}
