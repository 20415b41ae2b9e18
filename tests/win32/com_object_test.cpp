// The shared IUnknown plumbing: which ids QueryInterface answers, what it
// does with the result slot, and the count's floor at zero; and the one
// holder of a reference, ComRef.
#include <com_object.h>
#include <gtest/gtest.h>

#include <utility>

namespace {

// Two interfaces of our own, so the test needs no device.
const IID kIdFirst = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
const IID kIdSecond = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 9}};
const IID kIdOther = {0x99999999, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};

struct ITwo : IUnknown {
  virtual int Value() = 0;

 protected:
  ~ITwo() = default;
};

// Counts its final releases instead of deleting itself, so calls after the
// last release can be observed.
class Two final : public platform::ComObject<ITwo, kIdFirst, kIdSecond> {
 public:
  int Value() override { return 7; }
  ULONG Count() const { return refs_.load(); }
  int finalReleases = 0;

 protected:
  void FinalRelease() override { ++finalReleases; }
};

class LeavesSlot final : public platform::ComObject<ITwo, kIdFirst> {
 public:
  int Value() override { return 0; }

 protected:
  HRESULT NoResultSlot() override { return E_INVALIDARG; }
  void Refused(void**) override {}
};

TEST(ComObject, AnswersIUnknownAndEveryListedIdWithANewReference) {
  Two two;
  for (const IID* id : {&IID_IUnknown, &kIdFirst, &kIdSecond}) {
    void* out = nullptr;
    const ULONG before = two.Count();
    ASSERT_EQ(two.QueryInterface(*id, &out), S_OK);
    EXPECT_EQ(out, static_cast<ITwo*>(&two));
    EXPECT_EQ(static_cast<ITwo*>(out)->Value(), 7);
    EXPECT_EQ(two.Count(), before + 1);
  }
}

TEST(ComObject, RefusesOtherIdsAndANullSlotWithoutCounting) {
  Two two;
  void* out = &two;
  EXPECT_EQ(two.QueryInterface(kIdOther, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(two.QueryInterface(kIdFirst, nullptr), E_POINTER);
  EXPECT_EQ(two.Count(), 1u);

  LeavesSlot leaves;
  out = &two;
  EXPECT_EQ(leaves.QueryInterface(kIdOther, &out), E_NOINTERFACE);
  EXPECT_EQ(out, &two);
  EXPECT_EQ(leaves.QueryInterface(kIdFirst, nullptr), E_INVALIDARG);
}

TEST(ComObject, CountsFromOneAndAnExtraReleaseStaysAtZero) {
  Two two;
  EXPECT_EQ(two.AddRef(), 2u);
  EXPECT_EQ(two.Release(), 1u);
  EXPECT_EQ(two.finalReleases, 0);
  EXPECT_EQ(two.Release(), 0u);
  EXPECT_EQ(two.finalReleases, 1);
  EXPECT_EQ(two.Release(), 0u);
  EXPECT_EQ(two.Release(), 0u);
  EXPECT_EQ(two.finalReleases, 1);
  EXPECT_EQ(two.Count(), 0u);
}

TEST(ComRef, ReleasesWhatItHoldsOnceAndOnlyWhenItIsNotHandedOver) {
  Two two;
  two.AddRef();  // the holder's reference; the object itself keeps one
  {
    platform::ComRef<ITwo> held(&two);
    EXPECT_TRUE(held);
    EXPECT_EQ(held->Value(), 7);
    EXPECT_EQ(two.Count(), 2u);
  }
  EXPECT_EQ(two.Count(), 1u);

  two.AddRef();
  ITwo* handed = nullptr;
  {
    platform::ComRef<ITwo> held(&two);
    handed = held.Detach();
    EXPECT_FALSE(held);
    EXPECT_EQ(held.Get(), nullptr);
  }
  EXPECT_EQ(handed, &two);
  EXPECT_EQ(two.Count(), 2u);
  handed->Release();
  EXPECT_EQ(two.finalReleases, 0);
}

TEST(ComRef, ASlotOrAResetReleasesTheOldReferenceAndAMoveKeepsOnlyOne) {
  Two first, second;
  platform::ComRef<ITwo> held(&first);  // adopts the object's own reference
  void** slot = reinterpret_cast<void**>(held.Slot());
  EXPECT_EQ(first.finalReleases, 1);
  EXPECT_EQ(*slot, nullptr);
  // A creating call writes the slot: the holder now holds what it wrote.
  ASSERT_EQ(second.QueryInterface(kIdFirst, slot), S_OK);
  EXPECT_EQ(held.Get(), &second);
  EXPECT_EQ(second.Count(), 2u);

  platform::ComRef<ITwo> moved(std::move(held));
  EXPECT_FALSE(held);
  EXPECT_EQ(moved.Get(), &second);
  EXPECT_EQ(second.Count(), 2u);
  first.AddRef();
  platform::ComRef<ITwo> other(&first);
  other = std::move(moved);  // the reference other held goes
  EXPECT_EQ(first.finalReleases, 2);
  EXPECT_EQ(other.Get(), &second);
  moved = std::move(other);
  moved.Reset();
  EXPECT_EQ(second.Count(), 1u);
  EXPECT_FALSE(moved);
}

}  // namespace
