package flash.external
{
    import flash.events.EventDispatcher;

    /** The runtime's ExtensionContext, declared for compiling against (see flash.events.EventDispatcher). */
    public class ExtensionContext extends EventDispatcher
    {
        public static function createExtensionContext(extensionID:String, contextType:String):ExtensionContext
        {
            return null;
        }

        public function call(functionName:String, ... args):Object { return null; }

        public function dispose():void {}
    }
}
