// The saver's claim: a mutex owned by the saver's thread. Another thread owning it stands in for
// another saver's process, since ownership, not the process, is what the claim checks.
#include <gtest/gtest.h>

#include <string>

#include "framework.h"
#include "saver_instance.h"

namespace {

struct THolder {
  std::string Name;
  HANDLE Owned = nullptr;   // signalled once the holder owns the mutex
  HANDLE Release = nullptr; // set to let the holder go; it then ends without releasing
  HANDLE Mutex = nullptr;
};

DWORD WINAPI HoldClaim(void* parameter) {
  auto* holder = static_cast<THolder*>(parameter);
  holder->Mutex = CreateMutexA(nullptr, TRUE, (holder->Name + ".saver").c_str());
  SetEvent(holder->Owned);
  WaitForSingleObject(holder->Release, INFINITE);
  // Ends owning it, as a saver that is killed does: the mutex is abandoned.
  return 0;
}

TEST(SaverInstance, OnlyOneHolderAndALookerNeverBlocksAStart) {
  EXPECT_TRUE(SaverFlagBelongsToSystem()) << "Wine and every current Windows are of the NT family";

  THolder holder{"tesmar_test_claim_" + std::to_string(GetCurrentProcessId()),
                 CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  EXPECT_FALSE(SaverClaimedElsewhere(holder.Name.c_str()));

  HANDLE thread = CreateThread(nullptr, 0, HoldClaim, &holder, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(holder.Owned, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(SaverClaimedElsewhere(holder.Name.c_str()));
  EXPECT_TRUE(SaverClaimedElsewhere(holder.Name.c_str())) << "asking took the claim away";
  EXPECT_FALSE(ClaimSaver(holder.Name.c_str()));

  // The holder dies without letting go; the next saver takes the claim over.
  SetEvent(holder.Release);
  WaitForSingleObject(thread, 10000);
  CloseHandle(thread);
  EXPECT_TRUE(ClaimSaver(holder.Name.c_str()));
  EXPECT_TRUE(ClaimSaver(holder.Name.c_str())) << "taking it again in the same process";
  EXPECT_FALSE(SaverClaimedElsewhere(holder.Name.c_str())) << "its own claim is no other saver";

  CloseHandle(holder.Mutex);
  CloseHandle(holder.Owned);
  CloseHandle(holder.Release);
}

}  // namespace
