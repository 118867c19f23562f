/* Loads the GNOME Files extension as GNOME Files does, asks it for menu items
 * over fake selections and activates the command. TROVIX_PROGRAM_PATH is a
 * recorder that writes its arguments, one a line, to $TROVIX_ARGS_FILE. */
#include <nautilus-extension.h>

#include <glib/gstdio.h>
#include <string.h>

/* A selected item: a name, a folder flag and a local path. */
#define FAKE_TYPE_FILE (fake_file_get_type())
G_DECLARE_FINAL_TYPE(FakeFile, fake_file, FAKE, FILE, GObject)
struct _FakeFile {
    GObject parent_instance;
    char* path;
    gboolean folder;
};
static void fake_file_iface_init(NautilusFileInfoInterface* iface);
G_DEFINE_TYPE_WITH_CODE(FakeFile, fake_file, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(NAUTILUS_TYPE_FILE_INFO, fake_file_iface_init))

static char* fake_get_name(NautilusFileInfo* info) {
    return g_path_get_basename(FAKE_FILE(info)->path);
}
static gboolean fake_is_directory(NautilusFileInfo* info) {
    return FAKE_FILE(info)->folder;
}
static GFile* fake_get_location(NautilusFileInfo* info) {
    return g_file_new_for_path(FAKE_FILE(info)->path);
}
static void fake_file_iface_init(NautilusFileInfoInterface* iface) {
    iface->get_name = fake_get_name;
    iface->is_directory = fake_is_directory;
    iface->get_location = fake_get_location;
}
static void fake_file_finalize(GObject* object) {
    g_free(FAKE_FILE(object)->path);
    G_OBJECT_CLASS(fake_file_parent_class)->finalize(object);
}
static void fake_file_class_init(FakeFileClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = fake_file_finalize;
}
static void fake_file_init(FakeFile* self) {
    (void)self;
}

/* The module the extension registers its type in. */
#define FAKE_TYPE_MODULE (fake_module_get_type())
G_DECLARE_FINAL_TYPE(FakeModule, fake_module, FAKE, MODULE, GTypeModule)
struct _FakeModule {
    GTypeModule parent_instance;
};
G_DEFINE_TYPE(FakeModule, fake_module, G_TYPE_TYPE_MODULE)
static gboolean fake_module_load(GTypeModule* module) {
    (void)module;
    return TRUE;
}
static void fake_module_unload(GTypeModule* module) {
    (void)module;
}
static void fake_module_class_init(FakeModuleClass* klass) {
    G_TYPE_MODULE_CLASS(klass)->load = fake_module_load;
    G_TYPE_MODULE_CLASS(klass)->unload = fake_module_unload;
}
static void fake_module_init(FakeModule* self) {
    (void)self;
}

static GList* selection(const char* const* paths, const gboolean* folders, int count) {
    GList* files = NULL;
    for (int i = 0; i < count; ++i) {
        FakeFile* file = g_object_new(FAKE_TYPE_FILE, NULL);
        file->path = g_strdup(paths[i]);
        file->folder = folders[i];
        files = g_list_append(files, file);
    }
    return files;
}

static int gFailures = 0;
#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            g_printerr("%s:%d: failed: %s\n", __FILE__, __LINE__, #condition);                     \
            ++gFailures;                                                                           \
        }                                                                                          \
    } while (0)

int main(void) {
    GTypeModule* module = g_object_new(FAKE_TYPE_MODULE, NULL);
    g_type_module_use(module);
    nautilus_module_initialize(module);
    const GType* types = NULL;
    int count = 0;
    nautilus_module_list_types(&types, &count);
    CHECK(count == 1 && g_type_is_a(types[0], NAUTILUS_TYPE_MENU_PROVIDER));
    if (gFailures) return 1;
    NautilusMenuProvider* provider = g_object_new(types[0], NULL);

    /* One unsupported file withdraws the command. */
    const char* const mixed[] = {"/music/Album", "/music/notes.txt"};
    const gboolean mixedFolders[] = {TRUE, FALSE};
    GList* files = selection(mixed, mixedFolders, 2);
    CHECK(nautilus_menu_provider_get_file_items(provider, files) == NULL);
    g_list_free_full(files, g_object_unref);

    /* Names that a shell would split or read as options reach trovix as they are. */
    char* dir = g_dir_make_tmp("trovix-nautilus-XXXXXX", NULL);
    char* argsFile = g_build_filename(dir, "args", NULL);
    g_setenv("TROVIX_ARGS_FILE", argsFile, TRUE);
    const char* const music[] = {"/music/My Album; rm -rf ~", "/music/-x/$(a).MP3"};
    const gboolean musicFolders[] = {TRUE, FALSE};
    files = selection(music, musicFolders, 2);
    GList* items = nautilus_menu_provider_get_file_items(provider, files);
    CHECK(g_list_length(items) == 1);
    if (items) {
        char* label = NULL;
        g_object_get(items->data, "label", &label, NULL);
        CHECK(label && strcmp(label, "Tag with Trovix\u2122...") == 0);
        g_free(label);
        nautilus_menu_item_activate(items->data);
        char* written = NULL;
        for (int tries = 0; tries < 250 && !written; ++tries) {
            g_usleep(20000);
            g_file_get_contents(argsFile, &written, NULL, NULL);
        }
        CHECK(written && strcmp(written, "/music/My Album; rm -rf ~\n/music/-x/$(a).MP3\n") == 0);
        g_free(written);
    }
    nautilus_menu_item_list_free(items);
    g_list_free_full(files, g_object_unref);
    g_unlink(argsFile);
    g_rmdir(dir);
    g_free(argsFile);
    g_free(dir);
    g_object_unref(provider);
    return gFailures ? 1 : 0;
}
