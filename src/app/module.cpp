// Module placeholder until its first source lands.
namespace quill {}
