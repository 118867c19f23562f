/* The GNOME Files (API 4) menu provider: offers "Tag with Trovix™..." when
 * every selected item is a folder or a music file, and hands the paths to
 * trovix exactly as a drop on its window would. It does no tagging itself. */
#include "plugin/SelectionRule.h"

#include <nautilus-extension.h>

#define TROVIX_TYPE_MENU_PROVIDER (trovix_menu_provider_get_type())
G_DECLARE_FINAL_TYPE(TrovixMenuProvider, trovix_menu_provider, TROVIX, MENU_PROVIDER, GObject)

struct _TrovixMenuProvider {
    GObject parent_instance;
};

static void trovix_menu_provider_iface_init(NautilusMenuProviderInterface* iface);

G_DEFINE_DYNAMIC_TYPE_EXTENDED(TrovixMenuProvider, trovix_menu_provider, G_TYPE_OBJECT, 0,
                               G_IMPLEMENT_INTERFACE_DYNAMIC(NAUTILUS_TYPE_MENU_PROVIDER,
                                                             trovix_menu_provider_iface_init))

/* The local paths of the selection, or NULL when an item has none (a remote
 * location trovix could not open). */
static GPtrArray* selectionPaths(GList* files) {
    GPtrArray* paths = g_ptr_array_new_with_free_func(g_free);
    for (GList* l = files; l; l = l->next) {
        GFile* location = nautilus_file_info_get_location(NAUTILUS_FILE_INFO(l->data));
        char* path = location ? g_file_get_path(location) : NULL;
        if (location) g_object_unref(location);
        if (!path) {
            g_ptr_array_free(paths, TRUE);
            return NULL;
        }
        g_ptr_array_add(paths, path);
    }
    return paths;
}

static void launchTrovix(NautilusMenuItem* item, gpointer user_data) {
    (void)user_data;
    GPtrArray* paths = g_object_get_data(G_OBJECT(item), "trovix-paths");
    if (!paths || paths->len == 0) return;
    /* The installed program first, so a prefix outside PATH still works. */
    const char* program = g_file_test(TROVIX_PROGRAM_PATH, G_FILE_TEST_IS_EXECUTABLE)
                              ? TROVIX_PROGRAM_PATH
                              : "trovix";
    GPtrArray* argv = g_ptr_array_new();
    g_ptr_array_add(argv, (gpointer)program);
    for (guint i = 0; i < paths->len; ++i)
        g_ptr_array_add(argv, g_ptr_array_index(paths, i));
    g_ptr_array_add(argv, NULL);
    GError* error = NULL;
    /* Detached and without a shell: glib reaps the child, names stay literal. */
    if (!g_spawn_async(NULL, (char**)argv->pdata, NULL, G_SPAWN_SEARCH_PATH, NULL, NULL, NULL,
                       &error)) {
        g_warning("trovix: %s", error->message);
        g_error_free(error);
    }
    g_ptr_array_free(argv, TRUE);
}

static GList* trovix_menu_provider_get_file_items(NautilusMenuProvider* provider, GList* files) {
    (void)provider;
    const guint count = g_list_length(files);
    if (count == 0) return NULL;
    TrovixSelectionItem* items = g_new0(TrovixSelectionItem, count);
    guint i = 0;
    for (GList* l = files; l; l = l->next, ++i) {
        NautilusFileInfo* info = NAUTILUS_FILE_INFO(l->data);
        items[i].name = nautilus_file_info_get_name(info);
        items[i].isFolder = nautilus_file_info_is_directory(info);
    }
    const int taggable = trovixSelectionIsTaggable(items, count);
    for (i = 0; i < count; ++i)
        g_free((char*)items[i].name);
    g_free(items);
    if (!taggable) return NULL;

    GPtrArray* paths = selectionPaths(files);
    if (!paths) return NULL;
    NautilusMenuItem* item =
        nautilus_menu_item_new("Trovix::TagWithTrovix", "Tag with Trovix\u2122...",
                               "Open the selection in Trovix", "trovix");
    g_object_set_data_full(G_OBJECT(item), "trovix-paths", paths,
                           (GDestroyNotify)g_ptr_array_unref);
    g_signal_connect(item, "activate", G_CALLBACK(launchTrovix), NULL);
    return g_list_append(NULL, item);
}

static void trovix_menu_provider_iface_init(NautilusMenuProviderInterface* iface) {
    iface->get_file_items = trovix_menu_provider_get_file_items;
}

static void trovix_menu_provider_class_init(TrovixMenuProviderClass* klass) {
    (void)klass;
}
static void trovix_menu_provider_class_finalize(TrovixMenuProviderClass* klass) {
    (void)klass;
}
static void trovix_menu_provider_init(TrovixMenuProvider* self) {
    (void)self;
}

static GType gProviderTypes[1];

void nautilus_module_initialize(GTypeModule* module) {
    trovix_menu_provider_register_type(module);
    gProviderTypes[0] = TROVIX_TYPE_MENU_PROVIDER;
}

void nautilus_module_shutdown(void) {}

void nautilus_module_list_types(const GType** types, int* num_types) {
    *types = gProviderTypes;
    *num_types = G_N_ELEMENTS(gProviderTypes);
}
