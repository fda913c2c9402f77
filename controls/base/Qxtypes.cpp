#include "controls/base/Qxtypes.h"

#include "platform/classes/typinfo.h"

const TMetaClass TqxFormPosition::Class { "TqxFormPosition", &TPersistent::Class };

// clang-format off
namespace {
using P = TPublish<TqxFormPosition>;
const TClassRegistrar<TqxFormPosition> registrar({
    //          name      getter                    setter                       default    stored
    P::Integer ("Left",   &TqxFormPosition::Left,   &TqxFormPosition::SetLeft,   NoDefault),
    P::Integer ("Top",    &TqxFormPosition::Top,    &TqxFormPosition::SetTop,    NoDefault),
    P::Integer ("Width",  &TqxFormPosition::Width,  &TqxFormPosition::SetWidth,  NoDefault),
    P::Integer ("Height", &TqxFormPosition::Height, &TqxFormPosition::SetHeight, NoDefault),
});
} // namespace
// clang-format on

void TqxFormPosition::Assign(const TPersistent *source)
{
    auto *p = dynamic_cast<const TqxFormPosition *>(source);
    if (!p) {
        TPersistent::Assign(source);
        return;
    }
    left_ = p->left_, top_ = p->top_, width_ = p->width_, height_ = p->height_;
}
