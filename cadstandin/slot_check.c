/* The method slots the CAD application's clients call through the raw vtable, checked against the
   vtables widl generates from the IDL. Slots count from 0: IUnknown's three, IDispatch's four, then
   the interface's own methods. */
#include <stddef.h>

#include "standin_automation.h"

#define SLOT(vtable, member) (offsetof(vtable, member) / sizeof(void*))

_Static_assert(SLOT(IStandinApplicationVtbl, QueryInterface) == 0, "IUnknown first");
_Static_assert(SLOT(IStandinApplicationVtbl, Invoke) == 6, "IDispatch after IUnknown");
_Static_assert(SLOT(IStandinApplicationVtbl, get_Visible) == 7, "application: Visible get");
_Static_assert(SLOT(IStandinApplicationVtbl, put_Visible) == 8, "application: Visible put");
_Static_assert(SLOT(IStandinApplicationVtbl, get_Caption) == 10, "application: activation title");
_Static_assert(SLOT(IStandinApplicationVtbl, get_ActiveDocument) == 12, "application: active document");
_Static_assert(SLOT(IStandinDocumentVtbl, get_Utility) == 60, "document: utility");
_Static_assert(SLOT(IStandinDocumentVtbl, StartUndoMark) == 61, "document: undo marks after the utility");
_Static_assert(SLOT(IStandinDocumentVtbl, EndUndoMark) == 62, "document: undo marks after the utility");
_Static_assert(SLOT(IStandinDocumentVtbl, get_PickfirstSelectionSet) == 63, "document: pre-selection after the undo marks");
_Static_assert(SLOT(IStandinDocumentVtbl, get_Layers) == 64, "document: layers after the pre-selection");
_Static_assert(SLOT(IStandinUtilityVtbl, GetEntity) == 26, "utility: pick one entity");

/* A newer release's interfaces have release 15's layout, so that the same objects serve both. */
#include "standin_release_automation.h"

_Static_assert(sizeof(IStandinReleaseApplicationVtbl) == sizeof(IStandinApplicationVtbl), "same application layout");
_Static_assert(sizeof(IStandinReleaseDocumentVtbl) == sizeof(IStandinDocumentVtbl), "same document layout");
_Static_assert(sizeof(IStandinReleaseUtilityVtbl) == sizeof(IStandinUtilityVtbl), "same utility layout");
_Static_assert(SLOT(IStandinReleaseApplicationVtbl, get_ActiveDocument) == 12, "release application: active document");
_Static_assert(SLOT(IStandinReleaseDocumentVtbl, get_Utility) == 60, "release document: utility");
_Static_assert(SLOT(IStandinReleaseDocumentVtbl, EndUndoMark) == 62, "release document: undo marks after the utility");
_Static_assert(SLOT(IStandinReleaseDocumentVtbl, get_Layers) == 64, "release document: layers last");
_Static_assert(SLOT(IStandinReleaseUtilityVtbl, GetEntity) == 26, "release utility: pick one entity");
