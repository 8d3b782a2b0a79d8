// SPDX-License-Identifier: Apache-2.0
#pragma once

// Framework exceptions and the guarded program run.
//
// Every framework failure is an ExBase: getText() is what went wrong, getMessage() the
// whole story for a person: the kind where the text alone would not tell it (assertion,
// null pointer, failed cast) and, when known, the source position. Raise a broken internal
// condition with
//     if (!(_elementStack.empty()))
//         Kr::Assertions::throwAssertionFailed("app\\checkutil\\src\\xmlKrcheckInit", 150, "_elementStack.empty()");
// or, where the source path may be the compiler's, KR_ASSERT(_elementStack.empty()).

#include <Kr/KrExport.h>
#include <Kr/OPtr.h>

#include <string>

namespace Kr {

class KR_EXPORT ExBase {
public:
    // file may be null (no position known); line 0 means "no line".
    explicit ExBase(std::string text, const char* file = nullptr, int line = 0);
    ExBase(const ExBase&) = default;
    ExBase& operator=(const ExBase&) = default;
    virtual ~ExBase();

    virtual std::string getText() const;
    // "text (file, line N)"; subclasses may put their kind in front.
    virtual std::string getMessage() const;
    // A copy of the same dynamic type, so that a caught exception can outlive its handler.
    virtual ExBase* clone() const;

    const std::string& getFile() const { return _file; }
    int getLine() const { return _line; }

private:
    std::string _text;
    std::string _file;
    int _line;
};

// Ends a program with a chosen exit code; the code travels to whoever runs the program.
class KR_EXPORT ExProcessRc : public ExBase {
public:
    explicit ExProcessRc(int returnCode, std::string text = {});
    int getReturnCode() const { return _returnCode; }
    std::string getText() const override;
    ExBase* clone() const override;

private:
    int _returnCode;
};

// A broken internal condition; getText() is the condition as written in the source.
class KR_EXPORT ExAssertionFailed : public ExBase {
public:
    ExAssertionFailed(const char* file, int line, const char* condition);
    std::string getMessage() const override;
    ExBase* clone() const override;
};

// An empty framework pointer was dereferenced; getText() names the pointee type.
class KR_EXPORT ExNullPtr : public ExBase {
public:
    explicit ExNullPtr(const std::string& typeName);
    const std::string& getTypeName() const { return _typeName; }
    std::string getMessage() const override;
    ExBase* clone() const override;

private:
    std::string _typeName;
};

// A checked down-cast found an object of another type.
class KR_EXPORT ExCastFailed : public ExBase {
public:
    ExCastFailed(const std::string& actualType, const std::string& targetType);
    const std::string& getActualType() const { return _actualType; }
    const std::string& getTargetType() const { return _targetType; }
    std::string getMessage() const override;
    ExBase* clone() const override;

private:
    std::string _actualType;
    std::string _targetType;
};

// A standard-library or unknown exception, caught by ExWrapper and carried as an ExBase.
class KR_EXPORT ExForeign : public ExBase {
public:
    explicit ExForeign(std::string text);
    ExBase* clone() const override;
};

namespace Assertions {
[[noreturn]] KR_EXPORT void throwAssertionFailed(const char* file, int line, const char* condition);
// __FILE__ without its extension, as assertion texts carry it.
KR_EXPORT std::string sourcePath(const char* file);
} // namespace Assertions

class KR_EXPORT ExWrapper {
public:
    class KR_EXPORT Functor {
    public:
        virtual ~Functor();
        virtual void operator()() = 0;
    };

    // Runs the functor and returns, owned, whatever escaped it (null if nothing); standard
    // and unknown exceptions come back as ExForeign. reserve is a caller-owned, empty
    // holder: an emergency block is kept in it while the functor runs and released when
    // memory runs out, so that the failure can still be described. The caller frees what
    // it holds afterwards.
    static OPtrRet<ExBase> execute(Functor& functor, APtr<char>* reserve);
};

} // namespace Kr

#define KR_ASSERT(condition)                                                                                           \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            ::Kr::Assertions::throwAssertionFailed(::Kr::Assertions::sourcePath(__FILE__).c_str(), __LINE__,           \
                                                   #condition);                                                        \
    } while (false)
