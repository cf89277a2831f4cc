// The temporaries list: wrapper objects made on the fly for foreign handles (windows, menus,
// device contexts), owned by the list until the next flush.
#pragma once

#include "framework/ZObject.h"

// Each thread has a list of its own: AddTemporary and FlushTemporaries act on the calling
// thread's list only, so a flush on one thread never deletes a wrapper that another thread is
// still using. Objects left on a thread's list are deleted when that thread ends.

// Hands the object over to the calling thread's list; a null pointer is ignored.
void AddTemporary(ZObject* object);
// Deletes every object on the calling thread's list, in the order they were added, and empties
// the list.
void FlushTemporaries();
