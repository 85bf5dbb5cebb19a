// What the stand-in's objects share inside the stand-in: the count of live
// objects, and the document that holds the object on a site.
#pragma once

#include <windows.h>
#include <oleidl.h>

namespace standin {

class StandInSite;

namespace detail {

void ObjectBorn();
void ObjectGone();

// A new container for the object on `site`, holding one reference for the
// caller: the HTML document that holds the object (`html`), or a container
// that is no HTML document.
IOleContainer* NewDocument(StandInSite* site, bool html);

}  // namespace detail
}  // namespace standin
