#include "app/InstrumentViewFactory.h"

#include "toolkit/FrameWnd.h"
#include "resource.h"

#ifdef ZUMBREL_HAVE_INSTRUMENT_VIEW
#include "host/TarvolinView.h"

toolkit::CView* MakeInstrumentView()
{
    return new CTarvolinView;
}
#else
namespace {
// The form of template 101, sized into the frame; the instrument view replaces it.
class CEmptyFormView : public toolkit::CFormView {
public:
    CEmptyFormView() : CFormView(IDD_INSTRUMENT_FORM) {}
    void OnInitialUpdate() override
    {
        GetParentFrame()->RecalcLayout();
        ResizeParentToFit();
    }
};
} // namespace

toolkit::CView* MakeInstrumentView()
{
    return new CEmptyFormView;
}
#endif
