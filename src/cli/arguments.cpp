#include "cli/arguments.h"

#include "text/ascii_case.h"

namespace quill {

namespace {

bool beginsWithQuote(const std::string& text)
{
    return !text.empty() && text.front() == '"';
}
bool endsWithQuote(const std::string& text)
{
    return !text.empty() && text.back() == '"';
}

}  // namespace

std::string trimmedArgument(const ArgumentList& arguments, size_t index)
{
    if (index >= arguments.size())
        return {};
    const std::string& argument = arguments[index];
    size_t first = argument.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    size_t last = argument.find_last_not_of(' ');
    return argument.substr(first, last - first + 1);
}

std::string optionName(const ArgumentList& arguments, size_t index)
{
    std::string argument = trimmedArgument(arguments, index);
    if (argument.empty() || argument.front() != '-')
        return {};
    return asciiUpper(argument.starts_with("--") ? argument.substr(0, argument.find('=')) : argument);
}

std::string optionValue(const ArgumentList& arguments, size_t index)
{
    std::string argument = trimmedArgument(arguments, index);
    if (argument.starts_with("--")) {
        size_t equals = argument.find('=', 2);
        if (equals != std::string::npos)
            return argument.substr(equals + 1);
    }
    return argument;
}

std::string joinQuotedValue(const ArgumentList& arguments, size_t& index, std::string value)
{
    // A lone double quote both begins and ends with one, so it joins nothing.
    if (!beginsWithQuote(value) || endsWithQuote(value))
        return value;
    while (index + 1 < arguments.size()) {
        ++index;
        value += ' ';
        value += optionValue(arguments, index);
        if (endsWithQuote(value))
            break;
    }
    return value;
}

}  // namespace quill
