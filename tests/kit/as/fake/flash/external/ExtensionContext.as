package flash.external
{
    /**
     * A recording ExtensionContext for running the kit's ActionScript in the
     * tests' AVM2. Of the runtime's members only those VelmorantUtils relies on are
     * declared, with the runtime's signatures, so that the compiler rejects
     * any other use; reset(), createWith(), willReturn(), willThrow() and
     * events are the tests' own.
     *
     * Every creation, call and dispose lands in one journal, in order, so a
     * test sees what reached the "runtime" and in which sequence. Results are
     * programmed per function name; an unprogrammed function answers null,
     * as a native function that returns nothing does.
     */
    public class ExtensionContext
    {
        private static var journal:Array = [];
        private static var results:Object = {};
        private static var failing:Object = {};
        private static var creation:String = "create";
        private static var created:int = 0;

        /**
         * When set, call() hands each call that passes its checks to this
         * function, transport(functionName, args), and returns what it
         * returns or throws what it throws; null (the default, and after
         * reset()) leaves the programmed results in charge. Set from the
         * tests, where it may be a JavaScript function.
         */
        public static var transport:Function = null;

        private var id:int;
        private var loaded:Boolean;
        private var disposed:Boolean = false;

        public function ExtensionContext(id:int, loaded:Boolean)
        {
            this.id = id;
            this.loaded = loaded;
        }

        /** Forgets the journal and every programmed result. */
        public static function reset():void
        {
            journal = [];
            results = {};
            failing = {};
            creation = "create";
            created = 0;
            transport = null;
        }

        /**
         * "create" (the default), "null" (extension not found), "throw", or
         * "unloadable": a context is handed out but its native library failed
         * to load, so every call throws as the runtime's does (#3500).
         */
        public static function createWith(mode:String):void
        {
            creation = mode;
        }

        public static function willReturn(functionName:String, result:*):void
        {
            results[functionName] = result;
            delete failing[functionName];
        }

        public static function willThrow(functionName:String):void
        {
            failing[functionName] = true;
        }

        /** What happened so far, oldest first. */
        public static function get events():Array
        {
            return journal.slice();
        }

        public static function createExtensionContext(extensionID:String, contextType:String):ExtensionContext
        {
            journal.push({ event: "create", extensionID: extensionID, contextType: contextType });
            if (creation == "null")
                return null;
            if (creation == "throw")
                throw new Error("the native library could not be loaded");
            created++;
            return new ExtensionContext(created, creation != "unloadable");
        }

        public function call(functionName:String, ... args):Object
        {
            journal.push({ event: "call", context: id, functionName: functionName, args: args });
            // The runtime refuses a disposed context outright; so does this one,
            // which also makes any late call visible as an error in the class.
            if (disposed)
                throw new Error("call on a disposed ExtensionContext");
            if (!loaded)
                throw new Error("Error #3500: The extension context does not have a method with the name " +
                                functionName + ".", 3500);
            if (transport != null)
                return transport(functionName, args);
            if (failing[functionName])
                throw new Error("the native function failed: " + functionName);
            return functionName in results ? results[functionName] : null;
        }

        public function dispose():void
        {
            journal.push({ event: "dispose", context: id });
            disposed = true;
        }
    }
}
