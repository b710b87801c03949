#include "boxcollider.h"
#include "circlecollider.h"
#include "entity.h"
#include "gameerror.h"
#include "rigidbody.h"
#include "testcontent.h"
#include "transform.h"

#include <gtest/gtest.h>

namespace volleyrun {

namespace {

using PhysicsTest = testing_content::EngineTest;

// A body moves by its new velocity; colliders size from the 40 x 10 transform once, at start; a body needs a transform.
TEST_F(PhysicsTest, BodiesIntegrateWithTheNewVelocityAndCollidersReadTheTransformOnce)
{
    Start();
    ComponentRegistry* registry = ComponentRegistry::Get();
    auto make = [registry](bool withTransform) {
        Entity source("body");
        if (withTransform) source.AddComponent(Transform(nullptr, {0.0f, 0.0f}, {40.0f, 10.0f}));
        for (const char* name : {"RigidBody", "CircleCollider", "BoxCollider"}) source.AddComponent(*registry->Find(name));
        Entity* entity = Engine::Get()->FindSpace("Splash")->CreateEntity(source, false);
        InitEvent init;
        entity->OnInit(init);
        return entity;
    };
    EXPECT_THROW(make(false), GameError);
    Entity* body = make(true);
    RigidBody* rigid = body->Get<RigidBody>();
    rigid->velocity = {100.0f, 0.0f};
    rigid->acceleration = {0.0f, -60.0f};
    rigid->angularVelocity = 90.0f;
    UpdateEvent update(1.0f / 60.0f, 0.0f);
    rigid->OnUpdate(update);
    Transform* transform = body->Get<Transform>();
    EXPECT_NEAR(rigid->velocity.y, -1.0f, 1e-6f);
    EXPECT_NEAR(transform->translation.x, 100.0f / 60.0f, 1e-5f);
    EXPECT_NEAR(transform->translation.y, -1.0f / 60.0f, 1e-6f);
    EXPECT_NEAR(transform->rotation, 1.5f, 1e-5f);
    EXPECT_EQ(body->Get<CircleCollider>()->radius, 20.0f);
    transform->scale = {1.0f, 1.0f};
    EXPECT_EQ(body->Get<BoxCollider>()->scale, glm::vec2(40.0f, 10.0f));
}

} // namespace

} // namespace volleyrun
