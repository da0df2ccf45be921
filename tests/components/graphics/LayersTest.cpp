#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "components/graphics/Layers.h"

using namespace epc;

namespace {

// Records the order in which layers are freed.
TCustomLayer* Watched(TLayerCollection& owner, std::vector<std::string>& freed, std::string name) {
    auto* layer = owner.Add<TPositionedLayer>();
    layer->OnDestroy = [&freed, name](TObject*) { freed.push_back(name); };
    return layer;
}

} // namespace

TEST(LayerCollection, FreesWhatItHoldsOnceTopmostFirst) {
    std::vector<std::string> freed;
    {
        TLayerCollection a(nullptr);
        Watched(a, freed, "a0");
        TCustomLayer* moved = nullptr;
        {
            TLayerCollection b(nullptr);
            moved = Watched(b, freed, "b0");
            Watched(b, freed, "b1");
            // Ownership goes with the layer to its new collection.
            moved->SetLayerCollection(&a);
            EXPECT_EQ(b.Count(), 1);
        }
        EXPECT_EQ(freed, (std::vector<std::string>{"b1"}));
        ASSERT_EQ(a.Count(), 2);
        EXPECT_EQ(a.Items(1), moved);
    }
    EXPECT_EQ(freed, (std::vector<std::string>{"b1", "b0", "a0"}));
}

TEST(LayerCollection, DeletingAndTakingOutLayers) {
    std::vector<std::string> freed;
    TLayerCollection c(nullptr);
    Watched(c, freed, "0");
    TCustomLayer* one = Watched(c, freed, "1");
    Watched(c, freed, "2");
    TCustomLayer* three = Watched(c, freed, "3");
    // A layer freed by hand leaves its collection.
    delete one;
    EXPECT_EQ(c.Count(), 3);
    c.DeleteLayer(0);
    EXPECT_EQ(freed, (std::vector<std::string>{"1", "0"}));
    EXPECT_EQ(c.Items(1), three);
    EXPECT_EQ(three->Index(), 1);
    three->MoveToBottom();
    EXPECT_EQ(three->Index(), 0);
    three->MoveToTop();
    EXPECT_EQ(three->Index(), 1);

    // A layer taken out of every collection belongs to whoever took it.
    std::unique_ptr<TCustomLayer> taken(three);
    three->SetLayerCollection(nullptr);
    EXPECT_EQ(c.Count(), 1);
    EXPECT_EQ(three->Index(), -1);

    // A handler that frees a sibling while the collection clears leaves nothing behind.
    TCustomLayer* sibling = Watched(c, freed, "4");
    TCustomLayer* top = Watched(c, freed, "5");
    top->OnDestroy = [&](TObject*) {
        freed.push_back("5");
        if (c.Count() > 0 && c.Items(c.Count() - 1) == sibling) delete sibling;
    };
    c.ClearLayers();
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(freed, (std::vector<std::string>{"1", "0", "5", "4", "2"}));
    taken.reset();
    EXPECT_EQ(freed.back(), "3");
}
