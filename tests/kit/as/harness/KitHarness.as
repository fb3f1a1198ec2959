package
{
    import com.velmorant.utils.VelmorantUtils;
    import flash.external.ExtensionContext;

    /**
     * Entry point for the compiler: it pulls VelmorantUtils and the recording
     * ExtensionContext into the Node build, even for the default class, which
     * must never touch the context but is run beside it to prove that. The
     * tests drive the classes themselves, so the constructor does nothing.
     */
    public class KitHarness
    {
        public function KitHarness()
        {
        }

        public static function get subject():Class
        {
            return VelmorantUtils;
        }

        public static function get recorder():Class
        {
            return ExtensionContext;
        }
    }
}
