#pragma once
// A stand-in for the automation interfaces that records every call, with its
// arguments, in order: "font3.SetSize(12.5)", and for a call that hands out
// an object the name it got: "range1.Font() = font3". Objects are named by
// kind and a counter per kind. Any call can be made to fail with a COM error.
#include "support/Recorder.h"
#include "export/Automation.h"

#include <memory>

namespace recording {

// The application to hand to the code under test; every object it gives out
// records into recorder, which must outlive them.
std::unique_ptr<engine::IApplication> MakeApplication(Recorder& recorder);
// A presentation named "presentation" on its own.
std::unique_ptr<engine::IPresentation> MakePresentation(Recorder& recorder);
// A shape collection named "shapes" on its own.
std::unique_ptr<engine::IShapes> MakeShapes(Recorder& recorder);
// A slide named "slide" on its own.
std::unique_ptr<engine::ISlide> MakeSlide(Recorder& recorder);

}  // namespace recording
