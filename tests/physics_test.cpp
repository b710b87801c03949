#include "boxcollider.h"
#include "circlecollider.h"
#include "entity.h"
#include "gameerror.h"
#include "rigidbody.h"
#include "testcontent.h"
#include "transform.h"

#include <gtest/gtest.h>

namespace {

using testing_content::EngineTest;

class PhysicsTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        Start();
        ComponentRegistry* registry = ComponentRegistry::Get();
        registry->Register("RigidBody", std::make_unique<RigidBody>(nullptr));
        registry->Register("BoxCollider", std::make_unique<BoxCollider>(nullptr));
        registry->Register("CircleCollider", std::make_unique<CircleCollider>(nullptr));
    }
    // An initialised entity with a 40 x 10 transform and the named components.
    Entity* Make(std::initializer_list<const char*> components, bool withTransform = true)
    {
        Entity source("body");
        if (withTransform) source.AddComponent(Transform(nullptr, {0.0f, 0.0f}, {40.0f, 10.0f}));
        for (const char* name : components) source.AddComponent(*ComponentRegistry::Get()->Find(name));
        return Engine::Get()->FindSpace("Splash")->CreateEntity(source, false);
    }
    static void Init(Entity* entity)
    {
        InitEvent init;
        entity->OnInit(init);
    }
    static void Step(Entity* entity, float dt)
    {
        UpdateEvent update(dt, 0.0f);
        entity->Get<RigidBody>()->OnUpdate(update);
    }
};

TEST_F(PhysicsTest, BodiesIntegrateWithTheNewVelocity)
{
    Entity* body = Make({"RigidBody"});
    body->Get<RigidBody>()->initialVelocity = {100.0f, 0.0f};
    Init(body);
    Step(body, 1.0f / 60.0f);
    EXPECT_NEAR(body->Get<Transform>()->translation.x, 100.0f / 60.0f, 1e-5f);

    Entity* falling = Make({"RigidBody"});
    Init(falling);
    RigidBody* rigid = falling->Get<RigidBody>();
    rigid->acceleration = {0.0f, -60.0f};
    rigid->angularVelocity = 90.0f;
    Step(falling, 1.0f / 60.0f);
    EXPECT_NEAR(rigid->velocity.y, -1.0f, 1e-6f);
    EXPECT_NEAR(falling->Get<Transform>()->translation.y, -1.0f / 60.0f, 1e-6f);
    EXPECT_NEAR(falling->Get<Transform>()->rotation, 1.5f, 1e-5f);
    EXPECT_EQ(rigid->previousPosition, glm::vec2(0.0f, 0.0f));
}

TEST_F(PhysicsTest, CollidersReadTheTransformOnce)
{
    Entity* body = Make({"RigidBody", "CircleCollider", "BoxCollider"});

    Init(body);
    EXPECT_EQ(body->Get<CircleCollider>()->radius, 20.0f);
    EXPECT_EQ(body->Get<BoxCollider>()->scale, glm::vec2(40.0f, 10.0f));
    body->Get<Transform>()->scale = {1.0f, 1.0f};
    EXPECT_EQ(body->Get<BoxCollider>()->scale, glm::vec2(40.0f, 10.0f));

    Entity* fixed = Make({"CircleCollider"});
    fixed->Get<CircleCollider>()->useTransformRadius = false;
    fixed->Get<CircleCollider>()->radius = 7.0f;
    Init(fixed);
    EXPECT_EQ(fixed->Get<CircleCollider>()->radius, 7.0f);
}

TEST_F(PhysicsTest, ABodyWithoutATransformIsAContentError)
{
    Entity* body = Make({"RigidBody"}, false);
    try {
        Init(body);
        FAIL();
    } catch (const GameError& error) {
        EXPECT_STREQ(error.what(), "body does not have required 1");
    }
}

} // namespace
