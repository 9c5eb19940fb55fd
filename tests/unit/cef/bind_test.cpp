// base::Bind and closure tasks: a bound receiver that is reference counted stays alive until the
// callback is gone (the browser client posts its own close to the engine's thread this way).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "include/base/cef_bind.h"
#include "include/wrapper/cef_closure_task.h"

namespace {

class Counted : public CefBaseRefCounted {
 public:
  explicit Counted(bool* deleted) : m_deleted(deleted) {}
  ~Counted() override { *m_deleted = true; }
  void Record(int number, std::string text) { calls.push_back(std::to_string(number) + text); }
  int Sum(int a, int b) const { return a + b; }
  std::vector<std::string> calls;

 private:
  bool* m_deleted;
  IMPLEMENT_REFCOUNTING(Counted);
};

int g_lastValue = 0;
void Remember(int value) {
  g_lastValue = value;
}

TEST(CefBindTest, KeepsACountedReceiverAliveUntilTheCallbackIsGone) {
  bool deleted = false;
  Counted* object = new Counted(&deleted);
  CefRefPtr<Counted> owner(object);
  base::Closure closure = base::Bind(&Counted::Record, object, 7, std::string("x"));
  base::Closure copy = closure;
  owner = nullptr;  // only the bound state holds the object now
  EXPECT_FALSE(deleted);
  closure.Run();
  copy.Run();
  EXPECT_EQ(object->calls, (std::vector<std::string>{"7x", "7x"}));
  closure.Reset();
  EXPECT_FALSE(deleted);  // the copy shares the bound state
  EXPECT_TRUE(closure.is_null());
  copy.Reset();
  EXPECT_TRUE(deleted);
}

TEST(CefBindTest, BindsFunctionsAndConstMethodsWithCopiedArguments) {
  int value = 41;
  base::Closure closure = base::Bind(&Remember, value);
  value = 0;  // bound by value
  closure.Run();
  EXPECT_EQ(g_lastValue, 41);

  bool deleted = false;
  CefRefPtr<Counted> object(new Counted(&deleted));
  base::Callback<int(void)> sum = base::Bind(&Counted::Sum, object.get(), 2, 3);
  EXPECT_EQ(sum.Run(), 5);
  EXPECT_TRUE(base::Callback<int(void)>().is_null());
}

TEST(CefBindTest, ClosureTaskRunsTheClosureOnExecute) {
  bool deleted = false;
  CefRefPtr<Counted> object(new Counted(&deleted));
  CefRefPtr<CefTask> task =
      CefCreateClosureTask(base::Bind(&Counted::Record, object.get(), 1, std::string("run")));
  ASSERT_TRUE(task);
  EXPECT_TRUE(object->calls.empty());
  task->Execute();
  EXPECT_EQ(object->calls, (std::vector<std::string>{"1run"}));
  EXPECT_FALSE(CefCreateClosureTask(base::Closure()));  // nothing to run
  // No engine thread runs in this test program: posting reports that.
  EXPECT_FALSE(CefPostTask(TID_UI, base::Bind(&Remember, 1)));
}

}  // namespace
