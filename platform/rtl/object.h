#pragma once

// The root of every class of the library. Classes that the class registry
// knows (platform/classes) add their metaclass on top of this.
class TObject {
public:
    TObject() = default;
    TObject(const TObject &) = delete;
    TObject &operator=(const TObject &) = delete;
    virtual ~TObject() = default;

    virtual const char *ClassName() const { return "TObject"; }
};
