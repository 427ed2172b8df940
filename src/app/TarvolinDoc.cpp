#include "app/TarvolinDoc.h"

bool CTarvolinDoc::OnNewDocument()
{
    return CDocument::OnNewDocument();
}

// Nothing is stored and nothing is loaded, in either direction.
void CTarvolinDoc::Serialize(toolkit::CArchive&)
{
}
