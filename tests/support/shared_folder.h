// What the shared-folder tests share: a BOD data set, a step that reads it
// and writes two data sets, and the user `nobody` as the other user.
#pragma once

#include <sys/types.h>

namespace shared_folder {

constexpr char kBod[] = "time,demand\n1,8.3\n2,10.3\n3,19\n4,16\n5,15.6\n7,19.8\n";
constexpr uid_t kNobody = 65534;
constexpr char kProgram[] =
    "proc ruva data=bod outest=est; parms a=20 b=.5; model demand=a*(1-exp(-b*time)); output out=pred p=p; run;\n";

}  // namespace shared_folder
