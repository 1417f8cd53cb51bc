// A page's stored payload: a large page's text inflates whole, the same as
// the text it was made from, whatever room the builder starts with.
#include "redlining/redline_payload.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "redlining/redline_format.h"
#include "redlining/redline_storage.h"
#include "tests/redlining/redline_test_pages.h"

namespace {

std::string Text(const AStrBuilder& text) { return std::string(text.data, text.length); }

}  // namespace

// Inflated into the page reader's small builder, which grows many times on
// the way, and into one with room for all of it from the start: both give
// the text byte for byte.
TEST(RedlinePayload, LargeTextInflatesWholeFromAnyStartingRoom) {
    Ref<RedlinePage> page = PageOfMarkups(1000);
    AStrBuilder text(4000);
    ASSERT_TRUE(WriteRedlineDocument(text, page.get(), nullptr));
    ASSERT_GT(text.length, 200000u);
    Ref<ByteBuf> compressed = DeflateRaw(text);
    ASSERT_TRUE(compressed);

    AStrBuilder grown(4000);
    ASSERT_TRUE(InflateRaw(ByteBufData(compressed.get()), ByteBufSize(compressed.get()), grown));
    EXPECT_EQ(Text(grown), Text(text));

    AStrBuilder roomy(text.length + 1);
    ASSERT_TRUE(InflateRaw(ByteBufData(compressed.get()), ByteBufSize(compressed.get()), roomy));
    EXPECT_EQ(Text(roomy), Text(text));

    // Appending keeps what the builder held.
    AStrBuilder after(30);
    ASSERT_TRUE(AStrBuilderAppendChars(after, "kept"));
    ASSERT_TRUE(InflateRaw(ByteBufData(compressed.get()), ByteBufSize(compressed.get()), after));
    EXPECT_EQ(Text(after), "kept" + Text(text));

    // A payload cut short still fails, also after the builder has grown.
    AStrBuilder truncated(4000);
    EXPECT_FALSE(InflateRaw(ByteBufData(compressed.get()), ByteBufSize(compressed.get()) / 2, truncated));
}

// A thousand markups read back from their stored payload are the markups
// read from the plain text the payload was made of, none of them changed.
TEST(RedlinePayload, StoredPageOfAThousandMarkupsReadsAsItsText) {
    Ref<RedlinePage> page = PageOfMarkups(1000);
    Ref<ByteBuf> payload = RedlineMakePagePayload(page.get(), nullptr);
    ASSERT_TRUE(payload);
    AStrBuilder text(4000);
    ASSERT_TRUE(WriteRedlineDocument(text, page.get(), nullptr));

    Ref<RedlinePage> from_payload = MakeRef<RedlinePage>();
    ASSERT_TRUE(RedlineParse(from_payload.get(), ByteBufData(payload.get()), ByteBufSize(payload.get())));
    Ref<RedlinePage> from_text = MakeRef<RedlinePage>();
    ASSERT_TRUE(RedlineParseText(from_text.get(), text.data, text.length));

    const std::vector<std::string> expected = Listing(page.get());
    ASSERT_EQ(expected.size(), 1000u);
    EXPECT_EQ(Listing(from_text.get()), expected);
    EXPECT_EQ(Listing(from_payload.get()), expected);
    for (RedlinePage* read : {from_payload.get(), from_text.get()}) {
        Ref<RedlineLayer> layer = read->GetLayer(0);
        ASSERT_TRUE(layer);
        EXPECT_FALSE(layer->IsDirty());
        uint32_t changed = 0;
        for (uint32_t i = 0; i < layer->objects.Count(); ++i) changed += layer->objects.GetAt(i)->IsDirty();
        EXPECT_EQ(changed, 0u) << "objects read marked changed";
    }
}
