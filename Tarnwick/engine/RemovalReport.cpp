// What a fate means, and how the fates of several items weigh together.
#include "RemovalReport.h"

namespace {

// How much each fate weighs when several items are told as one, by ItemFate. A key takes the
// weightiest fate of its views. A folder takes the weightiest fate of its entries, which decides
// what becomes of the folder itself:
//   removed, absent   nothing of it is left: the folder goes too;
//   pending           what is left goes at the next start: so does the folder, after it;
//   link              an entry leads elsewhere even opened as itself: the folder stays, or its
//                     deletion would reach there;
//   failed, present   something stays: the folder stays.
const int kWeights[] = {0, 0, 3, 2, 3, 1, 0, 0, 0, 0, 3};

}  // namespace

bool IsTrace(ItemFate fate)
{
    return fate == kItemPresent || fate == kItemNotOwn || fate == kItemFailed ||
           fate == kItemOpen;
}

bool IsGone(ItemFate fate)
{
    return fate == kItemRemoved || fate == kItemAbsent;
}

ItemFate Weightier(ItemFate left, ItemFate right)
{
    return kWeights[right] > kWeights[left] ? right : left;
}
